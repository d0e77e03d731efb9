#include "apps/options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "apps/arguments.h"
#include "zaq/plan.h"

namespace zaq::app {
namespace {

// A double as text that CLI11 (which reads through strtold) turns back into exactly that double.
std::string Exact(double x) {
    char text[40];
    std::snprintf(text, sizeof text, "%a", x);
    return text;
}

std::string Quoted(const std::string& text) {
    return "'" + plan::Shown(text) + "'";
}

[[noreturn]] void OutOfRange(const char* command, const char* option, double lo, double hi) {
    char range[120];
    std::snprintf(range, sizeof range, " must lie between %g and %g", lo, hi);
    throw Refused(command, option + std::string(range));
}

}  // namespace

CLI::Validator Date(const char* command, std::string* typed) {
    return CLI::Validator(
        [command, typed](std::string& text) {
            if (typed) *typed = text;
            const double mjd = ParseDate(text);
            if (std::isnan(mjd))
                throw Refused(command, "malformed date " + Quoted(text) +
                                           " (an MJD, or YYYY-MM-DD[THH:MM[:SS]] UTC)");
            if (!plan::InEphemerides(mjd))
                throw Refused(command, "date " + Quoted(text) +
                                           " is outside the built-in ephemerides (years "
                                           "1000-3000)");
            text = Exact(mjd);
            return std::string();
        },
        "");
}

CLI::Validator Number(const char* command, const char* option, double lo, double hi) {
    return CLI::Validator(
        [=](std::string& text) {
            double v = 0;
            if (!ParseNumber(text, &v))
                throw Refused(command,
                              std::string(option) + ": " + Quoted(text) + " is not a number");
            if (!(v >= lo && v <= hi)) OutOfRange(command, option, lo, hi);
            text = Exact(v);
            return std::string();
        },
        "");
}

CLI::Validator Count(const char* command, const char* option, int lo, int hi) {
    return CLI::Validator(
        [=](std::string& text) {
            char* end = nullptr;
            errno = 0;
            const long long n = std::strtoll(text.c_str(), &end, 0);
            if (text.empty() || *end != '\0' || errno == ERANGE) return std::string();
            if (n < lo || n > hi) OutOfRange(command, option, lo, hi);
            return std::string();
        },
        "");
}

CLI::Validator Name(const char* command, const char* what) {
    return CLI::Validator(
        [=](std::string& text) {
            if (!HasControlChars(text)) return std::string();
            const bool lineBreak = text.find_first_of("\r\n") != std::string::npos;
            throw Refused(command, std::string(what) + " " + Quoted(text) + " holds a " +
                                       (lineBreak ? "line break" : "control character"));
        },
        "");
}

void AddBodies(CLI::App* cmd, const char* command, std::string* from, std::string* to,
               const char* toHelp) {
    cmd->add_option("FROM", *from, "Departure body, e.g. Earth")
        ->required()
        ->check(Name(command, "FROM"));
    cmd->add_option("TO", *to, toHelp)->required()->check(Name(command, "TO"));
}

CLI::Validator Solver(const char* command) {
    return CLI::Validator(
        [command](std::string& text) {
            otk::LambertSolver solver{};
            if (!otk::ParseLambertSolver(text.c_str(), &solver))
                throw Refused(command,
                              "unknown Lambert solver " + Quoted(text) + " (G, PN, UB or UN)");
            text = std::to_string(static_cast<int>(solver));
            return std::string();
        },
        "");
}

CLI::Validator OneOf(const char* command, const char* option,
                     std::initializer_list<const char*> words) {
    std::vector<std::string> allowed(words.begin(), words.end());
    return CLI::Validator(
        [=](std::string& text) {
            std::string list;
            for (size_t i = 0; i < allowed.size(); ++i) {
                if (text == allowed[i]) return std::string();
                list += (i == 0 ? "" : i + 1 == allowed.size() ? " or " : ", ") + allowed[i];
            }
            throw Refused(command, std::string(option) + " must be " + list + ", not '" +
                                       plan::Shown(text) + "'");
        },
        "");
}

void AddIntegrator(CLI::App* cmd, const char* command, plan::Integrator* integrator) {
    cmd->add_option_function<std::string>(
           "--integrator",
           [integrator](const std::string& text) {
               *integrator = text == "rkf56" ? plan::Integrator::RKF56 : plan::Integrator::RKF78;
           },
           "The vessels' integrator: Runge-Kutta-Fehlberg 5(6) or 7(8) (rkf78, the default)")
        ->check(OneOf(command, "--integrator", {"rkf56", "rkf78"}))
        ->type_name("rkf56|rkf78");
}

}  // namespace zaq::app
