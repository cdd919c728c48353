// SPDX-License-Identifier: GPL-3.0-or-later
// RegTool.h - ostrane-reg: the registry from the command line, in the manner
// of reg.exe.
//
//     query  KEY [/v NAME | /ve]
//     add    KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]
//     delete KEY [/v NAME | /ve | /va] [/f]
//     import FILE.reg
//     export KEY FILE.reg [/y]   (FILE.reg "-": standard output)
//     deny   KEY            (opening the key fails with access denied)
//     allow  KEY            (clears that mark)
//
// Bad input gets a one-line error on the error stream, a non-zero exit and no
// change at all; an import is applied whole or not at all.
#pragma once

#include "KeyName.h"
#include "RegFile.h"
#include "platform/posix/registry/RegistryStore.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace ostrane::reg {

// A store's failure in words, as the tool prints it.
std::string RegistryErrorText(DWORD error);

class RegTool {
public:
    static const char* const kUsage;

    // With outputIsTerminal, query shows the control characters of names
    // and data as escapes.
    RegTool(std::shared_ptr<platform::RegistryStore> store, std::istream& in, std::ostream& out, std::ostream& err,
            bool outputIsTerminal = false);

    // Runs one command; the process's exit status.
    int Run(const std::vector<std::string>& arguments);

private:
    struct Options;

    int RunCommand(const Options& options);
    int Query(const Options& options);
    int Add(const Options& options);
    int Delete(const Options& options);
    int Import(const Options& options);
    int Export(const Options& options);
    int MarkDenied(const Options& options, bool denied);

    bool Confirm(const std::string& question);
    int Fail(const std::string& message);
    int FailWith(DWORD error);
    // A change that failed: the store's reason when it has one, naming the
    // file at fault, else the error's text.
    std::string ChangeFailureText(DWORD error) const;
    int FailChange(DWORD error);
    int Succeed();

    std::shared_ptr<platform::RegistryStore> m_store;
    std::istream& m_in;
    std::ostream& m_out;
    std::ostream& m_err;
    bool m_bOutputIsTerminal;
};

}  // namespace ostrane::reg
