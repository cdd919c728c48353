// SPDX-License-Identifier: GPL-3.0-or-later
// SignatureCsv.h - signatures as CSV text: a header line
// "VirName,VirType,VirMd5,VirCrc32", then one signature a line, fields quoted
// with '"' when they hold a comma or a quote (a quote doubled inside).
#pragma once

#include "SignatureDatabase.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace ostrane::sigdb {

// Reads every line, checking each signature; false with the first problem
// and its line number. Lines are at most 4 KiB, so any input is read in
// bounded memory.
bool ReadSignatureCsv(std::istream& in, std::vector<Signature>& signatures, std::string& error);
void WriteSignatureCsv(std::ostream& out, const std::vector<Signature>& signatures);

}  // namespace ostrane::sigdb
