// The one error type of the codecs layer. Its message is readable by a user
// (Japanese, naming the file where one is known); developer detail goes to stderr.
#pragma once

#include <stdexcept>
#include <string>

namespace tav1 {

struct CodecError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace tav1
