# Entry points: `make` builds the three presets and runs the demo; `make test` runs every test.
PRESETS := native i386 windows

.PHONY: all setup build test dist $(addprefix build-,$(PRESETS)) $(addprefix test-,$(PRESETS)) clean

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

$(addprefix test-,$(PRESETS)): test-%: build
	ctest --preset $*

clean:
	rm -rf build dist
