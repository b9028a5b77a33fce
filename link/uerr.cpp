#include "link/uerr.h"

#include "link/udpdev.h"
#include "link/wire.h"

namespace zav {

const char* UErrCodeText(int code) {
  switch (code) {
    case NoAnswer:
      return "Urządzenie nie odpowiada.";
    case ForeignSession:
      return "Kontroler ma obcą sesję.\n\nMożliwe przyczyny:\n"
             " - kontroler połączony z inną kopią programu,\n"
             " - kontroler pamięta sesję z poprzednim wywołaniem programu.\n"
             "W tym drugim przypadku należy poczekać około 30s.";
    case SessionDenied:
      return "Odmowa nawiązania sesji.";
    case BadSignature:
      return "Błąd podpisu ramki.";
    case ReplyTooLong:
      return "Odpowiedź dłuższa od oczekiwanej.";
    case NoReply:
      return "Brak odpowiedzi na rozkaz.";
    case NoAck:
      return "Brak potwierdzenia wysłanego rozkazu.";
    case NotInServiceMode:
      return "Kontroler nie pozwala odczytać ustawień przejść.\nUstaw go w tryb 'Service'";
    default:
      return "Brak opisu błędu.";
  }
}

std::string UErrText(const UErr& e) {
  // An error without a record still gets a readable text rather than a crash.
  static const UdpDev kNone;
  const UdpDev& dev = e.dev ? *e.dev : kNone;
  std::string text = DevName(dev.id);
  text += ", tryb: ";
  text += dev.ModeName();
  text += ".\n\nBłąd nr ";
  text += std::to_string(e.code);
  if (e.cmd != 0) {
    text += " (r.'";
    text += e.cmd;
    text += "')";
  }
  text += ": ";
  text += UErrCodeText(e.code);
  text += '\n';
  return text;
}

}  // namespace zav
