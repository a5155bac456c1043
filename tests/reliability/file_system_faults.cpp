#include "file_system_faults.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>

namespace {

const char* const kWaitingPrograms[] = {"/bin/sleep", "/usr/bin/sleep"};

bool Copy_Executable(const std::string& from, const std::string& to) {
  const std::string bytes = File_Bytes(from);
  if (bytes.empty()) return false;
  {
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) return false;
  }  // closed before it runs: a file open for writing cannot be executed either
  return ::chmod(to.c_str(), 0755) == 0;
}

}  // namespace

RunningProgram::RunningProgram(const std::string& path) : path_(path) {
  bool copied = false;
  for (const char* program : kWaitingPrograms) {
    if (Copy_Executable(program, path_)) {
      copied = true;
      break;
    }
  }
  if (!copied) return;
  // The pipe closes on a successful exec: reading it to its end waits until the program
  // file is in use.
  int ready[2];
  if (::pipe2(ready, O_CLOEXEC) != 0) return;
  const pid_t child = ::fork();
  if (child == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the scenario's process
    ::execl(path_.c_str(), "running-program", "120", static_cast<char*>(nullptr));
    const char failed = 1;
    if (::write(ready[1], &failed, 1) != 1) {
      // Nothing more to say: the parent sees the pipe close either way.
    }
    ::_exit(127);
  }
  ::close(ready[1]);
  char failed = 0;
  ssize_t got;
  do {
    got = ::read(ready[0], &failed, 1);
  } while (got < 0 && errno == EINTR);
  ::close(ready[0]);
  if (child > 0 && got == 0) {
    pid_ = child;
  } else if (child > 0) {
    ::waitpid(child, nullptr, 0);
  }
}

RunningProgram::~RunningProgram() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
}

bool Obey_Permission_Bits() {
  __user_cap_header_struct header{};
  header.version = _LINUX_CAPABILITY_VERSION_3;
  header.pid = 0;
  __user_cap_data_struct data[2] = {};
  if (::syscall(SYS_capget, &header, data) != 0) return false;
  for (int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
    data[capability / 32].effective &= ~(1u << (capability % 32));
  }
  if (::syscall(SYS_capset, &header, data) != 0) return false;
  // Proof rather than trust: a read-only folder must now refuse a new file.
  char folder[] = "/tmp/harvane-permission-XXXXXX";
  if (::mkdtemp(folder) == nullptr) return false;
  ::chmod(folder, 0555);
  const std::string probe = std::string(folder) + "/probe";
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  const bool refused = fd < 0 && errno == EACCES;
  if (fd >= 0) {
    ::close(fd);
    ::unlink(probe.c_str());
  }
  ::chmod(folder, 0755);
  ::rmdir(folder);
  return refused;
}

bool Is_Link_To(const std::string& path, const std::string& target) {
  char buffer[4096];
  const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer);
  return length >= 0 && std::string(buffer, static_cast<std::size_t>(length)) == target;
}

bool Is_Directory(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}
