// The error raised by the controller link and its message text.
#pragma once

#include <string>

namespace zav {

class UdpDev;

enum UErrCode : int {
  NoAnswer = 1,
  ForeignSession = 2,
  SessionDenied = 3,
  BadSignature = 4,
  ReplyTooLong = 5,
  NoReply = 6,
  NoAck = 7,
  NotInServiceMode = 8,
};

struct UErr {
  const UdpDev* dev;  // the controller concerned
  int code;
  char cmd;  // failing command letter, 0 when none
};

// "K105_00066, tryb: Serwis.\n\nBłąd nr 6 (r.'D'): Brak odpowiedzi na rozkaz.\n" (UTF-8).
std::string UErrText(const UErr& e);
// The text of a code alone, "Brak opisu błędu." for unknown codes.
const char* UErrCodeText(int code);

}  // namespace zav
