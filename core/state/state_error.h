// The one error type of the state layer (settings file, rotation, shrinking).
// Its message is meant for the toolkit's default error report.
#pragma once

#include <stdexcept>
#include <string>

namespace tav1 {

class StateError : public std::runtime_error {
 public:
  explicit StateError(const std::string& what) : std::runtime_error(what) {}
};

}  // namespace tav1
