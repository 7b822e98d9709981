#pragma once

#include "python_api.hpp"

#include <optional>
#include <string>

#include "py_ref.hpp"

namespace quorvel::binding {

// str(object) as UTF-8 bytes, lone surrogates kept as their three-byte
// encodings. When str() raises, the exception goes to the unraisable hook and
// "<unprintable T object>" stands in for the text.
std::string object_text(PyHandle object);

// The type's attribute (such as __qualname__) as UTF-8 bytes; nothing, with
// the exception cleared, when it cannot be read as a str.
std::optional<std::string> type_attribute_text(PyHandle type, const char* attribute);

// A str made from UTF-8 bytes; invalid bytes, such as encoded lone
// surrogates, become U+FFFD each.
PyRef lenient_str(const std::string& utf8);

// Sets TypeError(message), the message decoded as by lenient_str, and throws
// PythonErrorSet.
[[noreturn]] void throw_type_error(const std::string& message);

}  // namespace quorvel::binding
