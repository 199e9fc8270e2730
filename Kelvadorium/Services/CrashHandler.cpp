#include "Services/CrashHandler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace CrashHandler {
namespace {

// Everything the handler needs, prepared at install so the handler only copies bytes.
constexpr size_t pathCapacity = 4096;
char folders[8][pathCapacity];  // the report folder and its parents to make, outermost first
int folderCount = 0;
char header[512];
size_t headerLength = 0;
constexpr std::array fatalSignals{SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

// A small append-only text buffer on the handler's stack.
struct Line {
  char text[pathCapacity + 128];
  size_t length = 0;
  void add(const char* part) {
    while (*part && length + 1 < sizeof text) text[length++] = *part++;
  }
  void addNumber(uint64_t value, int base = 10, int width = 1) {
    char digits[24];
    int count = 0;
    do {
      digits[count++] = "0123456789abcdef"[value % base];
      value /= base;
    } while (value && count < 24);
    while (count < width && count < 24) digits[count++] = '0';
    while (count && length + 1 < sizeof text) text[length++] = digits[--count];
  }
  const char* c_str() {
    text[length] = 0;
    return text;
  }
};

void writeAll(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t written = write(fd, bytes, length);
    if (written <= 0) return;
    bytes += written;
    length -= size_t(written);
  }
}

const char* signalName(int signal) {
  switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    default: return "signal";
  }
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian), without the C library.
void civil(int64_t days, int64_t& year, unsigned& month, unsigned& day) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = unsigned(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shifted = (5 * dayOfYear + 2) / 153;
  day = dayOfYear - (153 * shifted + 2) / 5 + 1;
  month = shifted < 10 ? shifted + 3 : shifted - 9;
  year = int64_t(yearOfEra) + era * 400 + (month <= 2);
}

void report(int signal, siginfo_t* info, void*) {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  const int64_t seconds = now.tv_sec;
  int64_t year;
  unsigned month, day;
  civil(seconds / 86400, year, month, day);
  const int64_t ofDay = seconds % 86400;

  for (int i = 0; i < folderCount; ++i) mkdir(folders[i], 0700);
  Line path;
  path.add(folders[folderCount - 1]);
  path.add("/Kelvadorium-");
  path.addNumber(uint64_t(year), 10, 4);
  path.add("-");
  path.addNumber(month, 10, 2);
  path.add("-");
  path.addNumber(day, 10, 2);
  path.add("-");
  path.addNumber(uint64_t(ofDay / 3600), 10, 2);
  path.addNumber(uint64_t(ofDay / 60 % 60), 10, 2);
  path.addNumber(uint64_t(ofDay % 60), 10, 2);
  path.add("-");
  path.addNumber(uint64_t(getpid()));
  path.add(".crash");

  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd >= 0) {
    writeAll(fd, header, headerLength);
    Line facts;
    facts.add("Signal: ");
    facts.add(signalName(signal));
    facts.add(" (");
    facts.addNumber(uint64_t(signal));
    facts.add(")\nFault address: 0x");
    facts.addNumber(info ? uint64_t(uintptr_t(info->si_addr)) : 0, 16);
    facts.add("\n\nBacktrace:\n");
    writeAll(fd, facts.text, facts.length);
    void* frames[64];
    const int frameCount = backtrace(frames, 64);
    backtrace_symbols_fd(frames, frameCount, fd);
    const char mapsTitle[] = "\nMemory map:\n";
    writeAll(fd, mapsTitle, sizeof mapsTitle - 1);
    const int maps = open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps >= 0) {
      char buffer[4096];
      ssize_t count;
      while ((count = read(maps, buffer, sizeof buffer)) > 0) writeAll(fd, buffer, size_t(count));
      close(maps);
    }
    close(fd);
  }

  // The default action, so the process ends as it would have without us.
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
  raise(signal);
}

}  // namespace

void install(const std::filesystem::path& rawFolder) {
  // The folders from the outermost missing one inwards; the handler makes them with mkdir.
  std::vector<std::filesystem::path> chain;
  for (std::filesystem::path folder = rawFolder; !folder.empty() && chain.size() < 8;
       folder = folder.parent_path()) {
    chain.push_back(folder);
    if (folder == folder.parent_path()) break;
    std::error_code error;
    if (std::filesystem::is_directory(folder.parent_path(), error)) break;
  }
  folderCount = 0;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    const std::string text = it->string();
    if (text.size() >= pathCapacity) return;
    std::memcpy(folders[folderCount], text.c_str(), text.size() + 1);
    ++folderCount;
  }
  if (folderCount == 0) return;

  const std::string version = *KV_VERSION ? KV_VERSION : "?";
  const std::string build = *KV_BUILD ? KV_BUILD : "?";
  const std::string text = "Kelvadorium " + version + " (" + build + ")\n";
  headerLength = std::min(text.size(), sizeof header);
  std::memcpy(header, text.data(), headerLength);

  // The first backtrace loads the unwinder; done here, never inside the handler.
  void* frames[4];
  backtrace(frames, 4);

  static std::vector<char> alternateStack(std::max<size_t>(SIGSTKSZ, 64 * 1024));
  stack_t stack{};
  stack.ss_sp = alternateStack.data();
  stack.ss_size = alternateStack.size();
  sigaltstack(&stack, nullptr);

  struct sigaction action {};
  action.sa_sigaction = report;
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (const int signal : fatalSignals) sigaction(signal, &action, nullptr);
}

}  // namespace CrashHandler
