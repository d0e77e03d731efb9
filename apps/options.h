// How the tool reads its options: CLI11 validators for dates, numbers, counts, names and the
// Lambert solver, which refuse a bad argument with the tool's one-line message.
#pragma once

#include <CLI/CLI.hpp>
#include <initializer_list>
#include <string>

namespace zaq::plan {
enum class Integrator;
}

namespace zaq::app {

/// A request refused while its arguments are read: main writes "zaq COMMAND: <reason>" as one
/// line on stderr and exits with code 2.
class Refused : public CLI::ParseError {
public:
    Refused(const char* command, const std::string& reason)
        : CLI::ParseError("Refused", "zaq " + std::string(command) + ": " + reason, 2) {}
};

/// A date (see ParseDate) within the built-in ephemerides, given to a double option as its MJD
/// (TT); the text as typed is kept in *typed when typed is not null.
CLI::Validator Date(const char* command, std::string* typed = nullptr);
/// A plain decimal number within [lo, hi], given to a double option exactly as strtod reads it.
CLI::Validator Number(const char* command, const char* option, double lo, double hi);
/// A whole number (as CLI11 reads one) within [lo, hi]; other text is left to CLI11's own
/// refusal.
CLI::Validator Count(const char* command, const char* option, int lo, int hi);
/// A name (of a body, a file) without control characters, which would reach file names and
/// messages; `what` names the argument in the refusal.
CLI::Validator Name(const char* command, const char* what);
/// The positional arguments FROM and TO of a transfer between two bodies.
void AddBodies(CLI::App* cmd, const char* command, std::string* from, std::string* to,
               const char* toHelp);
/// A Lambert solver, "G", "PN", "UB" or "UN" in any case, given to an otk::LambertSolver option.
CLI::Validator Solver(const char* command);
/// One of the words: "OPTION must be A, B or C, not 'TEXT'" otherwise.
CLI::Validator OneOf(const char* command, const char* option,
                     std::initializer_list<const char*> words);
/// --integrator rkf56|rkf78: the vessels' integrator of the flights through the full model.
void AddIntegrator(CLI::App* cmd, const char* command, plan::Integrator* integrator);

}  // namespace zaq::app
