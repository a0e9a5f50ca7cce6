// CompiledFormat: a print format parsed once, ready to run on many records.
//
// Made only by CompileFormat (format_parser.h).  Immutable and safe to share:
// the space keeps one in a shared_ptr and each run walks it read-only.
#pragma once

#include <memory>
#include <string>

#include "engine/format/format_node.h"

namespace vardo {

class CompiledFormat {
 public:
  CompiledFormat(std::string source, std::unique_ptr<Node> root)
      : source_(std::move(source)), root_(std::move(root)) {}
  CompiledFormat(const CompiledFormat&) = delete;
  CompiledFormat& operator=(const CompiledFormat&) = delete;

  // The format text as it was compiled.
  const std::string& source() const { return source_; }
  // The top-level sequence.
  const Node& root() const { return *root_; }

 private:
  std::string source_;
  std::unique_ptr<Node> root_;
};

}  // namespace vardo
