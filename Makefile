# Entry points: `make` builds the presets and runs the demo; `make test` runs every test.
# `make soak` and `make fuzz-long` are the long reliability runs.
PRESETS := native i386 windows fuzz
SOAK_NOTICES ?= 100000
SOAK_FOLDER ?= /tmp
FUZZ_SECONDS ?= 600

.PHONY: all setup build test dist soak fuzz-long $(addprefix build-,$(PRESETS)) $(addprefix test-,$(PRESETS)) clean

all: build dist
	@if [ -x scripts/demo.sh ]; then scripts/demo.sh; fi

setup:
	@bash scripts/setup.sh

build: $(addprefix build-,$(PRESETS))

$(addprefix build-,$(PRESETS)): build-%: setup
	cmake --preset $*
	cmake --build --preset $*

dist: build-windows
	mkdir -p dist
	cp build/windows/Harvane.dll dist/Harvane.dll
	@echo "dist/Harvane.dll: $$(stat -c %s dist/Harvane.dll) bytes"
	cpack --config build/windows/CPackConfig.cmake -B build/windows/package
	cp build/windows/package/Harvane-*-win32.zip dist/
	@echo "dist/$$(cd build/windows/package && ls Harvane-*-win32.zip): the release package"

# Every build first: the native tests also run the Windows DLL in an x86 emulator.
test: build
	ctest --preset windows
	ctest --preset native
	ctest --preset i386
	ctest --preset fuzz

$(addprefix test-,$(PRESETS)): test-%: build
	ctest --preset $*

# The whole life with SOAK_NOTICES level-loaded notices, on both Linux builds, the server
# folder made in SOAK_FOLDER.
soak: build-native build-i386
	build/native/reliability_soak --notices $(SOAK_NOTICES) --folder-in $(SOAK_FOLDER)
	qemu-i386-static build/i386/reliability_soak --notices $(SOAK_NOTICES) --folder-in $(SOAK_FOLDER)

# Each fuzz target for FUZZ_SECONDS, two at a time.
fuzz-long: build-fuzz
	HARVANE_FUZZ_SECONDS=$(FUZZ_SECONDS) ctest --preset fuzz --timeout $$(( $(FUZZ_SECONDS) + 300 ))

clean:
	rm -rf build dist
