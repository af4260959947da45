#include "data/RunError.h"

#include <cerrno>
#include <string>

namespace zyn {

std::string IoErrorMessage(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
        return "Datei nicht gefunden";
    case ENOTDIR:
        return "Ungültiger Dateiname";
    case EMFILE:
    case ENFILE:
        return "Zu viele geöffnete Dateien";
    case EACCES:
    case EPERM:
        return "Dateizugriff verweigert";
    default:
        return "E/A-Fehler " + std::to_string(errorNumber);
    }
}

void RaiseIoError(int errorNumber) {
    throw RunError(IoErrorMessage(errorNumber));
}

std::string ErrorBoxText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) > static_cast<unsigned char>('.')) {
        return message + ".";
    }
    return message;
}

}  // namespace zyn
