#include "config/cfg_report.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "config/cp1250.h"

namespace zav {

namespace {

constexpr const char* kEol = "\r\n";
constexpr int kCellWidth = 22;

// The fixed texts are written here in UTF-8 and go into the file as Windows-1250, where every
// character is one byte; widths are counted after the conversion.
std::string W(std::string_view utf8) {
  return Utf8ToCp1250(utf8);
}

void RightAlign(std::string& out, std::string_view text, std::size_t width) {
  if (text.size() < width) out.append(width - text.size(), ' ');
  out.append(text);
}

constexpr const char* kOutputWords[8] = {"Rygiel",   "Przypomnienie", "Alarm",    "Uzbrojenie (wy)",
                                         "Strażnik", "On/Off",        "On/Off 2", "On/Off 3"};
constexpr const char* kInputWords[8] = {"Przycisk wyjścia", "Czujnik otwarcia", "Pożar",
                                        "Uzbrojenie (we)",  "Dzwonek",          "Tamper 1",
                                        "Tamper 2",         "Tamper 3"};

struct Labels {
  std::string title = W("Raport konfiguracji przejść kontrolera");
  std::string controller = W("Kontroler: ");
  std::string location = W("Lokalizacja: ");
  std::string date = W("Data: ");
  std::string devices = W("Urządzenia: ");
  std::string passage = W("Przejście ");
  std::string name = W("Nazwa");
  std::string reader = W("Czytnik ");
  std::string airlocks = W("Śluzy:");
  std::string airlock = W("Śluza ");
  // Output functions 0..7 and input functions 0..7, in slot order.
  std::string outputs[8] = {W(kOutputWords[0]), W(kOutputWords[1]), W(kOutputWords[2]),
                            W(kOutputWords[3]), W(kOutputWords[4]), W(kOutputWords[5]),
                            W(kOutputWords[6]), W(kOutputWords[7])};
  std::string inputs[8] = {W(kInputWords[0]), W(kInputWords[1]), W(kInputWords[2]),
                           W(kInputWords[3]), W(kInputWords[4]), W(kInputWords[5]),
                           W(kInputWords[6]), W(kInputWords[7])};
};

const Labels& Texts() {
  static const Labels labels;
  return labels;
}

// The stored name bytes up to the first zero, at most 15: written as they are, since they are
// already the controller's Windows-1250.
std::string_view StoredName(const Passage& passage) {
  const char* bytes = reinterpret_cast<const char*>(passage.params.name);
  std::size_t n = 0;
  while (n < static_cast<std::size_t>(kNameMax) && bytes[n] != 0) ++n;
  return {bytes, n};
}

bool NcMarked(IoRef ref) {
  return ref != kNone && (ref & kNcBit) != 0;
}

class GroupWriter {
 public:
  GroupWriter(std::string& out, const BusDeviceTable& table, const PassageConfig& config, int first,
              int cols)
      : out(out), table(table), config(config), first(first), cols(cols) {}

  void Write() {
    const Labels& t = Texts();
    out += kEol;
    for (int c = 0; c < cols; ++c) {
      RightAlign(out, t.passage + std::to_string(first + c + 1), c == 0 ? 38 : kCellWidth);
    }
    out += kEol;
    Hyphens();
    NameRow();
    out += kEol;
    OutputRow(0);
    InputRow(1);
    out += kEol;
    for (int slot : {0, 2, 3, 4, 5, 6, 7}) InputRow(slot);
    out += kEol;
    for (int r = 0; r < 4; ++r) ReaderRow(r);
    out += kEol;
    for (int slot = 1; slot < 8; ++slot) OutputRow(slot);
    out += kEol;
    AirlockRow();
    Hyphens();
    out += kEol;
  }

 private:
  const Passage& P(int c) const { return config.passages[first + c]; }

  void Hyphens() {
    out.append(static_cast<std::size_t>(kCellWidth * (cols + 1)), '-');
    out += kEol;
  }

  void NameRow() {
    RightAlign(out, Texts().name, 20);
    out += ": ";
    for (int c = 0; c < cols; ++c) {
      std::size_t gap = c == 0 ? 2 : kCellWidth - StoredName(P(c - 1)).size();
      out.append(gap, ' ');
      out += StoredName(P(c));
    }
    out += kEol;
  }

  void OutputRow(int slot) {
    RightAlign(out, Texts().outputs[slot], 20);
    out += ':';
    for (int c = 0; c < cols; ++c) {
      IoRef ref = P(c).outputs[slot];
      RightAlign(out, W(IoLabel(table, ref, "Out")), 18);
      out += NcMarked(ref) ? "[NC]" : "    ";
    }
    out += kEol;
  }

  void InputRow(int slot) {
    RightAlign(out, Texts().inputs[slot], 20);
    out += ':';
    for (int c = 0; c < cols; ++c) {
      IoRef ref = P(c).inputs[slot];
      RightAlign(out, W(IoLabel(table, ref, "In")), 17);
      out += NcMarked(ref) ? " [NC]" : "     ";
    }
    out += kEol;
  }

  void ReaderRow(int r) {
    RightAlign(out, Texts().reader, 19);
    out += std::to_string(r + 1);
    out += ':';
    for (int c = 0; c < cols; ++c) {
      IoRef ref = P(c).readers[r];
      RightAlign(out, W(IoLabel(table, ref, "Rd")), 17);
      out += ref != kNone && P(c).params.ReaderExit(r) ? " [Wy]" : "     ";
    }
    out += kEol;
  }

  void AirlockRow() {
    RightAlign(out, Texts().airlocks, 21);
    for (int c = 0; c < cols; ++c) {
      std::size_t width = c == 0 ? 13 : 17;
      int item = config.FirstAirlockItem(first + c);
      if (item > 0) {
        RightAlign(out, Texts().airlock, width);
        out += std::to_string(item);
      } else {
        RightAlign(out, "--- ", width);
        out += ' ';
      }
      out += "    ";
    }
    out += kEol;
  }

  std::string& out;
  const BusDeviceTable& table;
  const PassageConfig& config;
  int first;
  int cols;
};

}  // namespace

const char* ReportOutputWord(int slot) {
  return slot >= 0 && slot < 8 ? kOutputWords[slot] : nullptr;
}

const char* ReportInputWord(int slot) {
  return slot >= 0 && slot < 8 ? kInputWords[slot] : nullptr;
}

std::string WriteCfgReport(const BusDeviceTable& table, const PassageConfig& config,
                           DeviceId controller, std::string_view location, const ReportDate& date) {
  const Labels& t = Texts();
  std::string out;
  out.reserve(16384);

  out += t.title;
  out += kEol;
  out.append(t.title.size() + 1, '=');
  out += kEol;
  out += kEol;

  RightAlign(out, t.controller, 14);
  out += W(DevName(controller));
  out += kEol;

  // A line break inside the location would shift every following line of a fixed layout.
  RightAlign(out, t.location, 14);
  for (char ch : location) out += (ch == '\r' || ch == '\n') ? ' ' : ch;
  out += kEol;

  char day[32];
  std::snprintf(day, sizeof day, "%d-%02d-%02d", date.year, date.month, date.day);
  RightAlign(out, t.date, 14);
  out += day;
  out += kEol;
  out += kEol;

  RightAlign(out, t.devices, 14);
  int listed = std::clamp(table.activeCount, 0, kMaxBusDevices);
  for (int i = 0; i < listed; ++i) {
    if (i > 0) {
      out += ", ";
      if (i % 6 == 0) {
        out += kEol;
        out.append(14, ' ');
      }
    }
    out += W(table.LongName(table.order[i]));
  }
  out += '.';
  out += kEol;
  out += kEol;

  // Only a door controller has passages to report; the records hold at most 16.
  int passages = table.controllerKind == 1 ? std::clamp(table.passageCount, 0, kMaxPassages) : 0;
  for (int first = 0; first < passages; first += 4) {
    GroupWriter(out, table, config, first, std::min(4, passages - first)).Write();
  }
  return out;
}

namespace {

[[noreturn]] void Fail(const std::string& path, int err, const std::string& note = "") {
  throw std::runtime_error("Nie można zapisać raportu w pliku:\n" + path + "\n\n" +
                           std::strerror(err) + (note.empty() ? "" : "\n" + note));
}

// The folder of the file name, "." for a bare name.
std::string FolderOf(const std::string& file) {
  const auto slash = file.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : file.substr(0, slash);
}

// Writes every byte and closes; false with errno set on the first failure.
bool WriteAll(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS;
}

bool WriteAndClose(int fd, std::string_view bytes) {
  bool ok = WriteAll(fd, bytes);
  int err = errno;
  if (::close(fd) != 0 && ok) return false;
  errno = err;
  return ok;
}

}  // namespace

void SaveReportFile(const std::string& path, std::string_view bytes) {
  if (path.empty()) Fail(path, ENOENT);
  // The new bytes take the place of the file the name really leads to: a link to an archived
  // report stays a link, and the report keeps its permissions. A report the user has
  // write-protected is not replaced behind that protection.
  std::string target = path;
  if (char* real = ::realpath(path.c_str(), nullptr)) {
    target = real;
    std::free(real);
  }
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && S_ISREG(old.st_mode) && ::access(target.c_str(), W_OK) != 0) Fail(path, errno);

  // The new file's name is short and of its own: a long report name leaves room for it.
  static unsigned counter = 0;
  const std::string folder = FolderOf(target);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + "/~raport-" + std::to_string(::getpid()) + "-" + std::to_string(++counter) +
           ".tmp";
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    // No rewrite in place: a failure midway would leave half a report where the whole one was.
    const int err = errno;
    const bool kept = exists && S_ISREG(old.st_mode);
    Fail(path, err,
         std::string("W folderze raportu nie można utworzyć pliku tymczasowego; raport nie został "
                     "zapisany") +
             (kept ? ", a dotychczasowy plik pozostał bez zmian." : "."));
  }
  if (exists && S_ISREG(old.st_mode)) ::fchmod(fd, old.st_mode & 07777);
  if (!WriteAndClose(fd, bytes)) {
    int err = errno;
    ::unlink(temp.c_str());
    Fail(path, err);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    Fail(path, err);
  }
}

}  // namespace zav
