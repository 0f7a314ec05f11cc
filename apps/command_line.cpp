#include "command_line.hpp"

#include <new>
#include <sstream>

#include "base/atomic_file.hpp"
#include "base/echo.hpp"
#include "base/parallel.hpp"
#include "interop/input_error.hpp"
#include "interop/text_lines.hpp"

#ifndef TARVEK_VERSION
#define TARVEK_VERSION "unknown"
#endif

namespace tarvek::apps {

std::optional<int> help_or_version(const std::string& word, Channels& channels, const char* usage) {
  if (word == "--help" || word == "-h") {
    console_of(channels) << usage;
    return kExitOk;
  }
  if (word == "--version") {
    console_of(channels) << channels.program << " " << TARVEK_VERSION << "\n";
    return kExitOk;
  }
  return std::nullopt;
}

int usage_error(Channels& channels, const std::string& message) {
  note(channels, message);
  note(channels, "see " + channels.program + " --help");
  return kExitBadCommandLine;
}

void write_output(const std::string& path, const std::function<void(std::ostream&)>& write,
                  Channels& channels, bool dash_is_stdout) {
  if (dash_is_stdout && path == "-") {
    std::ostream& out = console_of(channels);
    write(out);
    out.flush();
    if (!out) throw interop::InputError("cannot write to standard output");
    return;
  }
  const std::string reason = write_file_atomically(path, write);
  if (!reason.empty()) throw interop::InputError("cannot write " + path + ": " + reason);
}

double real_option(const Arguments& a, const std::string& name, double low, double high, double fallback) {
  if (!a.has(name)) return fallback;
  double value = 0.0;
  if (!interop::parse_real(a.value(name), value) || !(value >= low && value <= high)) {
    std::ostringstream message;
    message << name << " needs a number from " << low << " to " << high << ", not \"" << a.value(name) << "\"";
    throw UsageError(message.str());
  }
  return value;
}

ModelOptions model_options(const Arguments& a) {
  ModelOptions m;
  if (a.has("--distances")) {
    const std::string d = a.value("--distances");
    if (d != "multipoint" && d != "two-point") throw UsageError("--distances must be multipoint or two-point");
    m.multipoint = d == "multipoint";
  }
  if (a.has("--error-rate")) m.estimate.error_rate = real_option(a, "--error-rate", 0.0, kMaxErrorRate, 0.0);
  if (a.has("--population")) {
    m.population = parse_population(a.value("--population"));
    if (!m.population) throw UsageError("--population must be " + population_names_listed());
  }
  m.estimate.threads = available_cores();
  if (a.has("-t")) {
    m.estimate.threads = count_option(a, "-t", 1);
    if (m.estimate.threads > kMaxThreads) throw UsageError("-t can be at most " + std::to_string(kMaxThreads));
  }
  return m;
}

int run_guarded(Channels& channels, const std::function<int()>& body) {
  try {
    return body();
  } catch (const interop::InputError& e) {
    note(channels, e.what());
  } catch (const std::bad_alloc&) {
    note(channels, "out of memory");
  } catch (const std::exception& e) {
    note(channels, std::string("internal error: ") + e.what());
  }
  return kExitBadInput;
}

void refuse_output_over_input(const std::vector<FileRole>& outputs, const std::vector<FileRole>& inputs) {
  std::vector<FileRole> files;
  for (const FileRole& out : outputs) {
    if (out.path != "-") files.push_back(out);
  }
  const auto clash = find_file_clash(files, inputs);
  if (!clash) return;
  throw UsageError(clash->output.what + " " + echo(clash->output.path) + " is " + clash->other.what + " " +
                   echo(clash->other.path) +
                   (clash->other_is_output ? ": one would overwrite the other" : ": it would be overwritten"));
}

void require_one_line(const std::string& option, const std::string& value) {
  if (value.find_first_of("\r\n") != std::string::npos)
    throw UsageError(option + " must be one line: \"" + echo(value) + "\" holds a line break");
}

}  // namespace tarvek::apps
