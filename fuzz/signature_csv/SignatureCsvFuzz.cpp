// SPDX-License-Identifier: GPL-3.0-or-later
// SignatureCsvFuzz.cpp - CSV signature files, as ostrane-sigdb imports them.
//
// Besides running clean under the sanitizers:
// - reading keeps the heap within a bound of the file's size;
// - a file that is refused says why, with the line;
// - every signature read is one the database can store as it stands;
// - the signatures read, written as CSV and read again, are the same.

#include "FuzzSupport.h"
#include "SignatureCsv.h"

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace {

using ostrane::fuzz::Require;
using ostrane::sigdb::Signature;

bool SameSignatures(const std::vector<Signature>& a, const std::vector<Signature>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].md5 != b[i].md5 || a[i].crc32 != b[i].crc32 || a[i].name != b[i].name || a[i].type != b[i].type)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::istringstream file(std::string(reinterpret_cast<const char*>(data), size));
    std::vector<Signature> signatures;
    std::string error;
    bool read = false;
    {
        ostrane::fuzz::HeapPeak peak;
        read = ostrane::sigdb::ReadSignatureCsv(file, signatures, error);
        ostrane::fuzz::RequireHeapBound(peak, size, 16, 64 * 1024);
    }
    if (!read) {
        Require(error.rfind("line ", 0) == 0 || error.rfind("the file is empty", 0) == 0,
                "a refused file says which line is wrong");
        return 0;
    }
    for (Signature signature : signatures) {
        Signature stored = signature;
        Require(!ostrane::sigdb::ProblemWith(stored).has_value(), "every signature read can be stored");
        Require(stored.md5 == signature.md5 && stored.crc32 == signature.crc32,
                "signatures are read in the form they are stored in");
    }
    std::ostringstream written;
    ostrane::sigdb::WriteSignatureCsv(written, signatures);
    std::istringstream again(written.str());
    std::vector<Signature> reread;
    Require(ostrane::sigdb::ReadSignatureCsv(again, reread, error), "signatures written as CSV read again");
    Require(SameSignatures(reread, signatures), "signatures written as CSV read again as the same");
    return 0;
}
