// The command line: which command, which options, and a one-line error with
// exit status 2 for anything it does not understand.
#include "StoreTool.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <map>
#include <set>
#include <stdexcept>

#include "Commands.h"
#include "CorvaneStore/StoreLayout.h"
#include "Foundation/TextValue.h"

namespace corvane::storetool {

namespace {

constexpr const char* kUsage =
    "usage: corvane-store [COMMAND] [OPTIONS]\n"
    "Reads the data store under the device root (CORVANE_DEVICE_ROOT).\n"
    "\n"
    "  (none), show   print every recorded day with its songs\n"
    "  top            rank the songs (or records) of a period\n"
    "      [--from YYYY-MM-DD] [--to YYYY-MM-DD] | [--last week|month|year]\n"
    "      [--by time|plays] [--group song|record] [--limit N (default 20, 0 for all)]\n"
    "  export         one row per day and song, to standard output\n"
    "      [--format csv|json (default csv)] [--from YYYY-MM-DD] [--to YYYY-MM-DD]\n"
    "  generate       write a made-up history into an empty store\n"
    "      [--days N (1095)] [--titles N (50000)] [--seed N (1)]\n"
    "      [--start YYYY-MM-DD (2020-01-01)] [--force (replace a store that has data)]\n"
    "  help           print this text\n"
    "\n"
    "Without --from the period starts with the first recorded day, without --to\n"
    "it ends with the last; --last counts back from the most recent recorded day.\n";

struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Options {
  std::map<std::string, std::string> values;
  std::set<std::string> flags;

  const std::string* value(const std::string& name) const {
    auto it = values.find(name);
    return it == values.end() ? nullptr : &it->second;
  }
};

// Options of one command: "--name value", "--name=value" or a flag.
Options parseOptions(const std::string& command, const std::vector<std::string>& args,
                     const std::set<std::string>& valued, const std::set<std::string>& flags) {
  Options options;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0)
      throw UsageError("unexpected argument '" + arg + "' for " + command);
    std::string name = arg.substr(2), value;
    bool inlineValue = false;
    if (auto eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      inlineValue = true;
    }
    const bool isValued = valued.count(name) > 0;
    if (!isValued && !flags.count(name))
      throw UsageError("unknown option '--" + name + "' for " + command);
    if (options.values.count(name) || options.flags.count(name))
      throw UsageError("option --" + name + " given twice");
    if (!isValued) {
      if (inlineValue) throw UsageError("option --" + name + " takes no value");
      options.flags.insert(name);
      continue;
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) throw UsageError("option --" + name + " needs a value");
      value = args[++i];
    }
    options.values[name] = value;
  }
  return options;
}

int32_t dayOption(const Options& options, const std::string& name) {
  const std::string& text = *options.value(name);
  auto day = parseDay(text);
  if (!day) throw UsageError("--" + name + " '" + text + "' is not a day of the form YYYY-MM-DD");
  return *day;
}

int64_t numberOption(const Options& options, const std::string& name, int64_t lowest,
                     int64_t highest) {
  const std::string& text = *options.value(name);
  char* end = nullptr;
  errno = 0;
  long long n = text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' '
                    ? -1
                    : std::strtoll(text.c_str(), &end, 10);
  if (!end || *end || errno || n < lowest || n > highest)
    throw UsageError(ns::stringWithFormat(
        "--%s '%s' is not a whole number from %lld to %lld", name.c_str(), text.c_str(),
        static_cast<long long>(lowest), static_cast<long long>(highest)));
  return n;
}

template <class T>
T choice(const Options& options, const std::string& name,
         const std::vector<std::pair<std::string, T>>& choices, T fallback) {
  const std::string* text = options.value(name);
  if (!text) return fallback;
  std::string names;
  for (auto& [word, v] : choices) {
    if (*text == word) return v;
    names += (names.empty() ? "" : " or ") + word;
  }
  throw UsageError("--" + name + " '" + *text + "' is not one of " + names);
}

// The period of --from/--to or --last, against the recorded days.
Period period(const Options& options, const std::vector<RecordedDay>& days) {
  const int32_t first = days.empty() ? 0 : days.front().day;
  const int32_t last = days.empty() ? 0 : days.back().day;
  if (options.value("last")) {
    if (options.value("from") || options.value("to"))
      throw UsageError("--last cannot be combined with --from or --to");
    int back = choice<int>(options, "last", {{"week", 0}, {"month", 1}, {"year", 12}}, 0);
    return {back ? monthsBefore(last, back) + 1 : last - 6, last};
  }
  // An open end reaches the first or last recorded day, but never past the other end.
  const int32_t from = options.value("from") ? dayOption(options, "from") : first;
  const int32_t to = options.value("to") ? dayOption(options, "to") : last;
  return {options.value("from") ? from : std::min(from, to),
          options.value("to") ? to : std::max(from, to)};
}

void checkPeriod(const Options& options) {
  if (options.value("from")) dayOption(options, "from");
  if (options.value("to")) dayOption(options, "to");
  if (options.value("from") && options.value("to") &&
      dayOption(options, "from") > dayOption(options, "to"))
    throw UsageError("--from " + *options.value("from") + " is after --to " + *options.value("to"));
}

// Reads the day list, or says there is no store here.
std::optional<std::vector<RecordedDay>> openStore(Reporter& reporter, std::FILE* err) {
  auto days = recordedDays(reporter);
  if (!days)
    std::fprintf(err,
                 "corvane-store: no data store at %s (set CORVANE_DEVICE_ROOT to the device "
                 "root that holds one)\n",
                 shownPath(kStoreRoot).c_str());
  return days;
}

int runCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  const std::string command = args.empty() ? "show" : args[0];
  if (command == "help" || command == "--help" || command == "-h") {
    std::fputs(kUsage, out);
    return finishOutput(out, err);
  }
  if (command == "show") {
    parseOptions(command, args, {}, {});
    int status = showStore(out);
    return std::max(status, finishOutput(out, err));
  }
  if (command == "top") {
    Options options =
        parseOptions(command, args, {"from", "to", "last", "by", "group", "limit"}, {});
    checkPeriod(options);
    TopRequest request;
    request.by = choice<Measure>(
        options, "by", {{"time", Measure::Time}, {"plays", Measure::Plays}}, Measure::Time);
    request.group = choice<Group>(options, "group",
                                  {{"song", Group::Song}, {"record", Group::Record}}, Group::Song);
    if (options.value("limit"))
      request.limit = static_cast<size_t>(numberOption(options, "limit", 0, INT32_MAX));
    if (options.value("last")) period(options, {});  // checks the word before any reading
    Reporter reporter(err);
    auto days = openStore(reporter, err);
    if (!days) return 1;
    if (days->empty() && !(options.value("from") && options.value("to"))) {
      std::fprintf(out, "The store holds no recorded day yet.\n");
      return finishOutput(out, err);
    }
    request.period = period(options, *days);
    int status = printTop(request, *days, out, reporter);
    return std::max(status, finishOutput(out, err));
  }
  if (command == "export") {
    Options options = parseOptions(command, args, {"format", "from", "to"}, {});
    checkPeriod(options);
    Format format = choice<Format>(options, "format",
                                   {{"csv", Format::Csv}, {"json", Format::Json}}, Format::Csv);
    Reporter reporter(err);
    auto days = openStore(reporter, err);
    if (!days) return 1;
    Period all{options.value("from") ? dayOption(options, "from") : INT32_MIN,
               options.value("to") ? dayOption(options, "to") : INT32_MAX};
    int status = exportDiary(format, all, *days, out, reporter);
    return std::max(status, finishOutput(out, err));
  }
  if (command == "generate") {
    Options options = parseOptions(command, args, {"days", "titles", "seed", "start"}, {"force"});
    GenerateRequest request;
    request.start = *parseDay("2020-01-01");
    if (options.value("days"))
      request.days = static_cast<int32_t>(numberOption(options, "days", 1, 36600));
    if (options.value("titles"))
      request.titles = static_cast<int32_t>(numberOption(options, "titles", 1, 5000000));
    if (options.value("seed"))
      request.seed = static_cast<uint64_t>(numberOption(options, "seed", 0, INT64_MAX));
    if (options.value("start")) request.start = dayOption(options, "start");
    if (request.start + request.days - 1 > *parseDay("9999-12-31"))
      throw UsageError("--days runs past the year 9999");
    request.force = options.flags.count("force") > 0;
    int status = generateStore(request, out, err);
    return std::max(status, finishOutput(out, err));
  }
  throw UsageError("unknown command '" + command + "' (see 'corvane-store help')");
}

}  // namespace

int finishOutput(std::FILE* out, std::FILE* err) {
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "corvane-store: cannot write the output\n");
    return 1;
  }
  return 0;
}

int run(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  try {
    return runCommand(args, out, err);
  } catch (const UsageError& e) {
    std::fprintf(err, "corvane-store: %s\n", e.what());
    return 2;
  } catch (const std::exception& e) {
    std::fprintf(err, "corvane-store: %s\n", e.what());
    return 1;
  }
}

}  // namespace corvane::storetool
