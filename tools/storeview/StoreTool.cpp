// The command line: which command, which options, and a one-line error with
// exit status 2 for anything it does not understand.
#include "StoreTool.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>

#include "Charts.h"
#include "Commands.h"
#include "CorvaneStore/StoreLayout.h"
#include "Foundation/TextValue.h"
#include "Report.h"

namespace corvane::storetool {

namespace {

constexpr const char* kEnvironment =
    "\n"
    "Environment:\n"
    "  CORVANE_DEVICE_ROOT  the device root whose store is read (default\n"
    "                       ~/.local/share/corvane/device); the store is its\n"
    "                       var/mobile/Documents/Corvane/\n";

constexpr const char* kUsage =
    "usage: corvane-store [COMMAND] [OPTIONS]\n"
    "Reads the data store under the device root; only 'generate' writes.\n"
    "\n"
    "Commands:\n"
    "  show            print every recorded day with its songs (the default)\n"
    "  top             rank the songs (or records) of a period\n"
    "  export          one row per day and song, as CSV or JSON\n"
    "  report          a year in review as one HTML page\n"
    "  chart           draw a year's calendar, a top list or the time per day\n"
    "                  as PNG or SVG\n"
    "  generate        write a made-up history into an empty store\n"
    "  help [COMMAND]  print this text, or what one command takes\n"
    "\n"
    "Options:\n"
    "  -h, --help      print help and exit (also after a command)\n";

constexpr const char* kPeriodOptions =
    "  --from YYYY-MM-DD   first day (default: the first recorded day)\n"
    "  --to YYYY-MM-DD     last day (default: the last recorded day)\n"
    "  --last week|month|year\n"
    "                      the 7 days, month or year up to the day list's last\n"
    "                      entry (the most recent day the recorder saw, as the\n"
    "                      app's today button shows), not the newest date listed\n";

struct CommandHelp {
  const char* name;
  std::string text;
};

const std::vector<CommandHelp>& commandHelp() {
  static const std::vector<CommandHelp> help = {
      {"show",
       "usage: corvane-store [show]\n"
       "Prints the numbered titles and, day by day, each song's time, share,\n"
       "plays and artist-album, in the app's value texts.\n"},
      {"top", std::string("usage: corvane-store top [OPTIONS]\n"
                          "Ranks the songs (or records) of a period by time or plays, summed over\n"
                          "its recorded days.\n"
                          "\n"
                          "Options:\n") +
                  kPeriodOptions +
                  "  --by time|plays     what ranks (default time)\n"
                  "  --group song|record rank songs or artist-album records (default song)\n"
                  "  --limit N           rows shown (default 20, 0 for all)\n"},
      {"chart",
       std::string("usage: corvane-store chart calendar|top|daily [OPTIONS] --out FILE\n"
                   "Draws a chart of the store to FILE, PNG or SVG by its extension\n"
                   "(.png or .svg):\n"
                   "  calendar  one square a day of a year, shaded by time listened on a\n"
                   "            log scale; days not recorded are outlined only\n"
                   "  top       the top songs (or records) of a period as bars\n"
                   "  daily     time per day (per week, month or year for long periods)\n"
                   "\n"
                   "Options:\n"
                   "  --out FILE          the picture to write (required)\n"
                   "  --year YYYY         calendar: the year (default: the year of the day\n"
                   "                      list's last entry)\n") +
           kPeriodOptions +
           "  --by time|plays     top: what ranks (default time)\n"
           "  --group song|record top: songs or artist-album records (default song)\n"
           "  --limit N           top: rows shown (default 20, 0 for all)\n"
           "  --scale N           PNG pixels a point, from 1 to 4 (default 1.5)\n"},
      {"export",
       "usage: corvane-store export [OPTIONS]\n"
       "Writes one row per day and song to standard output: day, song, title,\n"
       "record, seconds, plays.\n"
       "\n"
       "Options:\n"
       "  --format csv|json   (default csv, RFC 4180 with CRLF line ends)\n"
       "  --from YYYY-MM-DD   first day (default: the first recorded day)\n"
       "  --to YYYY-MM-DD     last day (default: the last recorded day)\n"
       "\n"
       "A CSV text cell that starts with =, +, -, @, a tab or a carriage return\n"
       "gets a leading ' so that a spreadsheet shows it rather than runs it as a\n"
       "formula; counters that are not finite, negative or above 2147483647\n"
       "are written as 0, as the app counts them.\n"},
      {"report",
       "usage: corvane-store report --year YYYY [--out FILE]\n"
       "Writes a year in review as one self-contained HTML page (no script, no\n"
       "network): the totals, the calendar, the longest streak, the most repeated\n"
       "song of a day and the top songs and records by time and by plays.\n"
       "\n"
       "Options:\n"
       "  --year YYYY         the year\n"
       "  --out FILE          write FILE (replaced whole once the page is done)\n"
       "                      rather than standard output\n"},
      {"generate",
       "usage: corvane-store generate [OPTIONS]\n"
       "Writes a made-up history into an empty store (for trying the app and\n"
       "for benchmarks).\n"
       "\n"
       "Options:\n"
       "  --days N            days of history (default 1095)\n"
       "  --titles N          distinct titles (default 50000)\n"
       "  --seed N            random seed (default 1)\n"
       "  --start YYYY-MM-DD  first day (default 2020-01-01)\n"
       "  --force             replace a store that has data\n"},
      {"help",
       "usage: corvane-store help [COMMAND]\n"
       "Prints the list of commands, or what one command takes.\n"},
  };
  return help;
}

const CommandHelp* findHelp(const std::string& command) {
  for (const CommandHelp& h : commandHelp())
    if (command == h.name) return &h;
  return nullptr;
}

int printHelp(const std::string& text, std::FILE* out, std::FILE* err) {
  std::fputs(text.c_str(), out);
  std::fputs(kEnvironment, out);
  return finishOutput(out, err);
}

bool isHelpOption(const std::string& arg) {
  return arg == "--help" || arg == "-h";
}

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

// Help is by command: "chart top" points at the help on "chart".
std::string helpHint(const std::string& command) {
  return " (see 'corvane-store help " + command.substr(0, command.find(' ')) + "')";
}

// Options of one command: "--name value", "--name=value" or a flag.
Options parseOptions(const std::string& command, const std::vector<std::string>& args,
                     const std::set<std::string>& valued, const std::set<std::string>& flags) {
  Options options;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.rfind("--", 0) != 0 && !(arg.size() > 1 && arg[0] == '-'))
      throw UsageError("unexpected argument '" + arg + "' for " + command + helpHint(command));
    if (arg.rfind("--", 0) != 0)
      throw UsageError("unknown option '" + arg + "' for " + command + helpHint(command));
    std::string name = arg.substr(2), value;
    bool inlineValue = false;
    if (auto eq = name.find('='); eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      inlineValue = true;
    }
    const bool isValued = valued.count(name) > 0;
    if (!isValued && !flags.count(name))
      throw UsageError("unknown option '--" + name + "' for " + command + helpHint(command));
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
Period period(const Options& options, const std::vector<RecordedDay>& days, int32_t lastListed) {
  const int32_t first = days.empty() ? 0 : days.front().day;
  const int32_t last = days.empty() ? 0 : days.back().day;
  if (options.value("last")) {
    if (options.value("from") || options.value("to"))
      throw UsageError("--last cannot be combined with --from or --to");
    int back = choice<int>(options, "last", {{"week", 0}, {"month", 1}, {"year", 12}}, 0);
    return {back ? monthsBefore(lastListed, back) + 1 : lastListed - 6, lastListed};
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
std::optional<std::vector<RecordedDay>> openStore(Reporter& reporter, std::FILE* err,
                                                  int32_t* lastListed = nullptr) {
  auto days = recordedDays(reporter, lastListed);
  if (!days)
    std::fprintf(err,
                 "corvane-store: no data store at %s (set CORVANE_DEVICE_ROOT to the device "
                 "root that holds one)\n",
                 shownPath(kStoreRoot).c_str());
  return days;
}

// Writes a file beside FILE and renames it over FILE once complete, so a
// failed run leaves FILE as it was.
int writeFileWhole(const std::string& file, std::FILE* err,
                   const std::function<int(std::FILE*)>& write) {
  const std::string partial = file + ".partial-" + std::to_string(getpid());
  std::FILE* f = std::fopen(partial.c_str(), "wx");
  if (!f) {
    std::fprintf(err, "corvane-store: cannot write %s: %s\n", partial.c_str(),
                 std::strerror(errno));
    return 1;
  }
  int status = write(f);
  if (std::fclose(f) != 0 && status == 0) {
    std::fprintf(err, "corvane-store: cannot write the output\n");
    status = 1;
  }
  if (status == 0 && std::rename(partial.c_str(), file.c_str()) != 0) {
    std::fprintf(err, "corvane-store: cannot replace %s: %s\n", file.c_str(), std::strerror(errno));
    status = 1;
  }
  if (status != 0) std::remove(partial.c_str());
  return status;
}

// The period and ranking options `top` and `chart` share, checked before
// any reading.
TopRequest topRequest(const Options& options) {
  checkPeriod(options);
  TopRequest request;
  request.by = choice<Measure>(options, "by", {{"time", Measure::Time}, {"plays", Measure::Plays}},
                               Measure::Time);
  request.group = choice<Group>(options, "group",
                                {{"song", Group::Song}, {"record", Group::Record}}, Group::Song);
  if (options.value("limit"))
    request.limit = static_cast<size_t>(numberOption(options, "limit", 0, INT32_MAX));
  if (options.value("last")) period(options, {}, 0);  // checks the word
  return request;
}

bool endsWith(const std::string& text, const std::string& end) {
  if (text.size() < end.size()) return false;
  for (size_t i = 0; i < end.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i])
      return false;
  return true;
}

// Today by the local clock, for the period of a store with no day yet.
int32_t today() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return *parseDay(ns::stringWithFormat("%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                                        local.tm_mday));
}

int runChart(const std::vector<std::string>& args, std::FILE* err) {
  const std::string kind = args.size() > 1 ? args[1] : "";
  ChartRequest request;
  if (kind == "calendar")
    request.kind = ChartKind::Calendar;
  else if (kind == "top")
    request.kind = ChartKind::Top;
  else if (kind == "daily")
    request.kind = ChartKind::Daily;
  else if (kind.empty())
    throw UsageError("chart needs a kind: calendar, top or daily" + helpHint("chart"));
  else
    throw UsageError("unknown chart '" + kind + "': calendar, top or daily" + helpHint("chart"));
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  const std::string name = "chart " + kind;
  Options options =
      request.kind == ChartKind::Calendar ? parseOptions(name, rest, {"year", "out", "scale"}, {})
      : request.kind == ChartKind::Top
          ? parseOptions(name, rest, {"from", "to", "last", "by", "group", "limit", "out", "scale"},
                         {})
          : parseOptions(name, rest, {"from", "to", "last", "out", "scale"}, {});
  if (request.kind != ChartKind::Calendar) request.top = topRequest(options);
  if (options.value("year"))
    request.year = static_cast<int>(numberOption(options, "year", 1, 9999));
  if (const std::string* text = options.value("scale")) {
    // Any number in range, so the default 1.5 can also be asked for.
    char* end = nullptr;
    request.scale = text->empty() ? 0 : std::strtod(text->c_str(), &end);
    if (!end || *end || !(request.scale >= 1 && request.scale <= 4))
      throw UsageError("--scale '" + *text + "' is not a number from 1 to 4");
  }
  if (!options.value("out")) throw UsageError(name + " needs --out FILE (.png or .svg)");
  request.out = *options.value("out");
  request.svg = endsWith(request.out, ".svg");
  if (!request.svg && !endsWith(request.out, ".png"))
    throw UsageError("--out '" + request.out + "' names neither a .png nor a .svg file");

  Reporter reporter(err);
  int32_t lastListed = 0;
  auto days = openStore(reporter, err, &lastListed);
  if (!days) return 1;
  // An empty store still gets its picture, which says so.
  if (days->empty()) lastListed = today();
  if (!options.value("year")) request.year = yearOf(lastListed);
  if (request.kind != ChartKind::Calendar) {
    if (days->empty() && !(options.value("from") && options.value("to")) && !options.value("last"))
      request.top.period = {options.value("from") ? dayOption(options, "from") : lastListed,
                            options.value("to") ? dayOption(options, "to") : lastListed};
    else
      request.top.period = period(options, *days, lastListed);
  }
  return writeChart(request, *days, err, reporter);
}

int runCommand(const std::vector<std::string>& args, std::FILE* out, std::FILE* err) {
  const std::string command = args.empty() ? "show" : args[0];
  if (isHelpOption(command)) return printHelp(kUsage, out, err);
  if (command == "help") {
    if (args.size() == 1) return printHelp(kUsage, out, err);
    const CommandHelp* help = args.size() == 2 ? findHelp(args[1]) : nullptr;
    if (!help) throw UsageError("no help on '" + args.back() + "' (see 'corvane-store --help')");
    return printHelp(help->text, out, err);
  }
  if (command.size() > 1 && command[0] == '-')
    throw UsageError("unknown option '" + command + "' (see 'corvane-store --help')");
  if (const CommandHelp* help = findHelp(command))
    if (std::any_of(args.begin() + 1, args.end(), isHelpOption))
      return printHelp(help->text, out, err);
  if (command == "show") {
    parseOptions(command, args, {}, {});
    int status = showStore(out, err);
    return std::max(status, finishOutput(out, err));
  }
  if (command == "chart") return runChart(args, err);
  if (command == "top") {
    Options options =
        parseOptions(command, args, {"from", "to", "last", "by", "group", "limit"}, {});
    TopRequest request = topRequest(options);
    Reporter reporter(err);
    int32_t lastListed = 0;
    auto days = openStore(reporter, err, &lastListed);
    if (!days) return 1;
    if (days->empty() && !(options.value("from") && options.value("to"))) {
      std::fprintf(out, "The store holds no recorded day yet.\n");
      return finishOutput(out, err);
    }
    request.period = period(options, *days, lastListed);
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
  if (command == "report") {
    Options options = parseOptions(command, args, {"year", "out"}, {});
    if (!options.value("year")) throw UsageError("report needs --year YYYY" + helpHint(command));
    const int year = static_cast<int>(numberOption(options, "year", 1, 9999));
    const std::string* file = options.value("out");
    if (file && file->empty()) throw UsageError("--out needs a file name");
    Reporter reporter(err);
    auto days = openStore(reporter, err);
    if (!days) return 1;
    if (!file) {
      int status = writeReport(year, *days, out, reporter);
      return std::max(status, finishOutput(out, err));
    }
    return writeFileWhole(*file, err, [&](std::FILE* f) {
      int status = writeReport(year, *days, f, reporter);
      return std::max(status, finishOutput(f, err));
    });
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
  throw UsageError("unknown command '" + command + "' (see 'corvane-store --help')");
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
