#pragma once
// The framework's exception base: every failure the programs show carries one message,
// and optionally the help context the help hook can be asked for.
#include <exception>
#include <string>

class Exception : public std::exception {
 public:
  explicit Exception(std::string message, int helpContext = 0)
      : message_(std::move(message)), helpContext_(helpContext) {}
  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  int HelpContext() const noexcept { return helpContext_; }
  void SetHelpContext(int context) noexcept { helpContext_ = context; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
  int helpContext_ = 0;
};
