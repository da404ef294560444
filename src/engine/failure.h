#pragma once

#include <cstdint>
#include <string>

#include "xml/read_description.h"

namespace pibgen {

// Why a description could not become an image, as each layer reports it up: what went wrong
// and where. Worded only by messages.cpp.
enum class FailureKind {
  kNone,
  kLoad,          // the description could not be read or parsed: read says why, line where
  kStopped,       // the reader's handler stopped the read; it knows why itself
  kNotAnElement,  // a child of the root is no field: field is its number, node its kind
  kNegativeSize,  // a sized field of negative size
  kCreateImage,   // the image cannot be created at the destination
  kWriteImage,    // it could not be written,
  kReadImage,     // read back,
  kCloseImage,    // or closed and put in place
  kOutputLost,    // the trace did not reach standard output, where nothing more can be said
  kValueRefused,  // a value --set gives is refused; the conversion's findings say why
};

struct Failure {
  FailureKind kind = FailureKind::kNone;
  uint32_t line = 0;  // in the description; 0 where none is known
  // The field a rule is broken by: its number (the root's children counted from 1) and, for
  // a negative size, its "name" attribute, the size, and whether it had a name at all.
  uint32_t field = 0;
  xml::NodeKind node = xml::NodeKind::kElement;
  int32_t size = 0;
  std::string name;
  bool named = false;
  // For kLoad: the reader's reason, and the entity it refused, if any.
  xml::ReadFailure read = xml::ReadFailure::kNone;
  std::string entity;

  explicit operator bool() const { return kind != FailureKind::kNone; }
};

}  // namespace pibgen
