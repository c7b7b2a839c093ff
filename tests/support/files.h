// Whole files for the tests of the file formats: bytes read and written as
// they are, and position databases written from their records.
#pragma once

#include <string>
#include <vector>

#include "book/posdb.h"

namespace kavrin::test {

// The file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& name);
// Replaces the file with bytes.
void WriteFileBytes(const std::string& name, const std::string& bytes);
// A position database holding records in this order, then tail.
void WriteDatabase(const std::string& name, const std::vector<PositionRecord>& records, const std::string& tail = "");

}  // namespace kavrin::test
