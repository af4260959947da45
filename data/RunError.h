#pragma once
#include <stdexcept>
#include <string>

namespace zyn {

// An error carrying the exact text the user sees in the error box.
class RunError : public std::runtime_error {
public:
    explicit RunError(const std::string& message) : std::runtime_error(message) {}
};

// The run-time I/O error for a platform error number (errno):
// "Datei nicht gefunden", "Ungültiger Dateiname", "Zu viele geöffnete Dateien",
// "Dateizugriff verweigert", or "E/A-Fehler %d".
std::string IoErrorMessage(int errorNumber);
[[noreturn]] void RaiseIoError(int errorNumber);

// The text of the error box: the message with "." appended when it is not empty
// and its last character sorts above ".".
std::string ErrorBoxText(const std::string& message);

}  // namespace zyn
