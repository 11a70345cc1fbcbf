#include "render_common.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iterator>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

std::string trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::string formatText(const char* format, double a, double b = 0.0, double c = 0.0) {
    char text[200];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

} // namespace

bool parseParameterSetting(const std::string& text, ParameterSetting& setting, std::string& error) {
    const auto equals = text.rfind('=');
    if (equals == std::string::npos) {
        error = "--set '" + text + "': expected NAME=VALUE";
        return false;
    }
    const std::string name = trim(text.substr(0, equals));
    const std::string valueText = trim(text.substr(equals + 1));
    if (name.empty()) {
        error = "--set '" + text + "': no parameter name or index before '='";
        return false;
    }
    if (valueText.empty()) {
        error = "--set '" + text + "': no value after '='";
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(valueText.c_str(), &end);
    setting.name = name;
    setting.valueText = valueText;
    setting.isNormalised = end == valueText.c_str() + valueText.size() && errno != ERANGE &&
                           value >= 0.0 && value <= 1.0 &&
                           valueText.find_first_of("xXpPnN") == std::string::npos;
    setting.value = setting.isNormalised ? static_cast<float>(value) : 0.0f;
    return true;
}

bool checkOutputName(const std::string& path, const char* extension, const char* what,
                     std::string& error) {
    if (isStandardStream(path)) return true;
    std::string given = std::filesystem::path(path).extension().string();
    if (given.empty()) return true;
    std::transform(given.begin(), given.end(), given.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (given == extension) return true;
    error = path + ": qxahost writes " + what + " here, not " + given.substr(1) +
            "; give the output a " + extension + " name";
    return false;
}

bool parseSampleFormat(const std::string& text, WavSampleFormat& format) {
    if (text == "float" || text == "float32") {
        format = WavSampleFormat::Float32;
    } else if (text == "16" || text == "pcm16") {
        format = WavSampleFormat::Pcm16;
    } else if (text == "24" || text == "pcm24") {
        format = WavSampleFormat::Pcm24;
    } else {
        return false;
    }
    return true;
}

bool parseChannelList(const std::string& text, uint16_t& mask, std::string& error) {
    const auto refuse = [&](const std::string& why) {
        error = "--channels '" + text + "': " + why;
        return false;
    };
    // A channel number: one or two digits, 1 to 16.
    const auto channel = [](const std::string& digits, int& number) {
        if (digits.empty() || digits.size() > 2 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        number = std::stoi(digits);
        return true;
    };
    uint16_t result = 0;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item = trim(
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (item.empty()) return refuse("an empty item; give channels 1 to 16 like 1-9,11-16");
        const size_t dash = item.find('-');
        int first = 0;
        int last = 0;
        const bool isRange = dash != std::string::npos;
        if (!channel(trim(item.substr(0, dash)), first) ||
            (isRange && !channel(trim(item.substr(dash + 1)), last)))
            return refuse("'" + item + "' is not a channel or a range of channels like 11-16");
        if (!isRange) last = first;
        for (const int number : {first, last})
            if (number < 1 || number > 16)
                return refuse("channel " + std::to_string(number) + " is not from 1 to 16");
        if (first > last) return refuse("the range '" + item + "' runs backwards");
        for (int c = first; c <= last; ++c)
            result = static_cast<uint16_t>(result | (1u << (c - 1)));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    mask = result;
    return true;
}

const char* sampleFormatName(WavSampleFormat format) {
    switch (format) {
    case WavSampleFormat::Pcm16:
        return "16-bit PCM";
    case WavSampleFormat::Pcm24:
        return "24-bit PCM";
    case WavSampleFormat::Float32:
        break;
    }
    return "32-bit float";
}

bool checkSettingTexts(const PluginSettings& settings, std::string& error) {
    ParameterSetting setting;
    for (const auto& text : settings.sets)
        if (!parseParameterSetting(text, setting, error)) return false;
    return true;
}

namespace {

// "a", "a or b", "a, b or c".
std::string alternatives(const std::vector<std::string>& names) {
    std::string text;
    for (size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " or " : ", ") + names[i];
    return text;
}

// Hands a typed value to the plug-in (ParameterTextParse); true when it took it.
bool parseTypedValue(PluginInstance& plugin, int32_t index, const std::string& text) {
    std::vector<char> buffer(std::max<size_t>(text.size() + 1, 256), '\0');
    std::copy(text.begin(), text.end(), buffer.begin());
    return plugin.dispatch(ParameterTextParse, index, 0, buffer.data()) != 0;
}

} // namespace

bool resolveSettings(PluginInstance& plugin, const std::string& path,
                     const PluginSettings& settings, ResolvedSettings& resolved,
                     std::string& error) {
    if (settings.program >= 0 && settings.program >= plugin.programCount()) {
        error = path + ": no program " + std::to_string(settings.program) + " (it has " +
                std::to_string(plugin.programCount()) + ")";
        return false;
    }
    resolved.program = settings.program;
    resolved.values.clear();
    if (settings.program >= 0) plugin.selectProgram(settings.program);
    const std::vector<ParameterName> names = plugin.parameterNames();
    for (const auto& text : settings.sets) {
        ParameterSetting setting;
        if (!parseParameterSetting(text, setting, error)) return false;
        const int32_t index = findParameterName(names, plugin.parameterCount(), setting.name);
        if (index < 0) {
            const std::vector<std::string> near = nearestParameterNames(names, setting.name);
            error = path + ": no parameter '" + setting.name + "' (" +
                    (near.empty() ? std::string() : "did you mean " + alternatives(near) + "? ") +
                    "`qxahost info` lists them)";
            return false;
        }
        float value = setting.value;
        if (setting.isNormalised) {
            plugin.setParameter(index, value);
        } else if (parseTypedValue(plugin, index, setting.valueText)) {
            value = plugin.parameterValue(index);
        } else {
            const std::string title = trim(plugin.parameterTitle(index));
            const std::string shown = trim(plugin.parameterText(index));
            // A plug-in that does not even take the text it shows reads no typed values.
            const bool readsTexts = !shown.empty() && parseTypedValue(plugin, index, shown);
            error = "--set '" + text + "': the value must be a number from 0 to 1" +
                    (readsTexts ? ", or a value as " + title + " shows it, such as '" + shown + "'"
                                : " (" + path + " reads no typed values)");
            return false;
        }
        resolved.values.emplace_back(index, value);
    }
    return true;
}

void applySettings(PluginInstance& plugin, const ResolvedSettings& resolved) {
    if (resolved.program >= 0) plugin.selectProgram(resolved.program);
    for (const auto& [index, value] : resolved.values)
        plugin.setParameter(index, value);
}

std::unique_ptr<PluginInstance> preparePlugin(const std::string& path,
                                              const PluginSettings& settings, float sampleRate,
                                              int32_t blockSize, std::string& error) {
    // Check every setting before loading, so a typo costs no plug-in start.
    if (!checkSettingTexts(settings, error)) return nullptr;
    auto plugin = PluginInstance::load(path, error);
    if (!plugin) return nullptr;
    ResolvedSettings resolved;
    if (!resolveSettings(*plugin, path, settings, resolved, error)) return nullptr;
    plugin->start(sampleRate, blockSize);
    applySettings(*plugin, resolved);
    return plugin;
}

TailRule::TailRule(double fixedSeconds, uint32_t sampleRate)
    : automatic_(fixedSeconds < 0.0),
      limit_(static_cast<int64_t>(
          std::llround((automatic_ ? kMaxAutomaticSeconds : fixedSeconds) * sampleRate))),
      quietNeeded_(static_cast<int64_t>(std::llround(kQuietSeconds * sampleRate))) {}

int32_t TailRule::nextBlockFrames(int32_t blockSize) const {
    if (rendered_ >= limit_) return 0;
    if (automatic_ && quietRun_ >= quietNeeded_) return 0;
    return static_cast<int32_t>(std::min<int64_t>(blockSize, limit_ - rendered_));
}

bool TailRule::hitCap() const {
    return automatic_ && rendered_ >= limit_ && quietRun_ < quietNeeded_;
}

void TailRule::observe(float* const* channels, size_t channelCount, int32_t frames) {
    for (int32_t i = 0; i < frames; ++i) {
        bool loud = false;
        for (size_t c = 0; c < channelCount; ++c)
            loud = loud || !(std::fabs(channels[c][i]) < kQuietLevel); // NaN counts as loud
        quietRun_ = loud ? 0 : quietRun_ + 1;
    }
    rendered_ += frames;
}

MidiSchedule::MidiSchedule(const MidiFile& file, uint32_t sampleRate, uint16_t channelMask) {
    const std::vector<int64_t> positions = file.eventSamples(sampleRate);
    events_.reserve(positions.size());
    for (size_t i = 0; i < positions.size(); ++i) {
        const auto& bytes = file.events[i].bytes;
        if (((channelMask >> (bytes[0] & 0x0F)) & 1) == 0) continue;
        events_.push_back({positions[i], {bytes[0], bytes[1], bytes[2]}});
    }
    const std::vector<int64_t> tempoPositions = file.tempoSamples(sampleRate);
    tempos_.reserve(tempoPositions.size());
    for (size_t i = 0; i < tempoPositions.size(); ++i)
        tempos_.emplace_back(tempoPositions[i], 60000000.0 / file.tempos[i].microsecondsPerQuarter);
    // Events at the last position must fall inside the song, hence the + 1. Left-out channels
    // count as absent, but the tracks still end where they end.
    const int64_t lastEvent = events_.empty() ? -1 : events_.back().sample;
    length_ = std::max(lastEvent + 1, file.tickToSample(file.endTick, sampleRate));
}

double MidiSchedule::tempoAt(int64_t sample) const {
    const auto after =
        std::upper_bound(tempos_.begin(), tempos_.end(), sample,
                         [](int64_t position, const std::pair<int64_t, double>& change) {
                             return position < change.first;
                         });
    return after == tempos_.begin() ? 120.0 : std::prev(after)->second;
}

void MidiSchedule::takeBlock(int64_t blockStart, int32_t frames,
                             std::vector<MidiEventRecord>& records) {
    records.clear();
    const int64_t blockEnd = blockStart + frames;
    while (next_ < events_.size() && events_[next_].sample < blockEnd) {
        const Event& event = events_[next_++];
        MidiEventRecord record{};
        record.type = kMidiEventType;
        record.byteSize = sizeof(MidiEventRecord);
        // An event before the block (blocks skipped) plays at its start rather than never.
        record.deltaFrames = static_cast<int32_t>(std::max<int64_t>(0, event.sample - blockStart));
        std::copy(event.bytes, event.bytes + 3, record.midiData);
        records.push_back(record);
    }
}

ProgressBar::ProgressBar(bool enabled) : enabled_(enabled) {}

bool ProgressBar::stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(fileno(stderr)) != 0;
#endif
}

void ProgressBar::update(int64_t done, int64_t total) {
    if (!enabled_ || total <= 0) return;
    const int percent = static_cast<int>(std::min<int64_t>(100, done * 100 / total));
    if (percent == lastPercent_) return;
    lastPercent_ = percent;
    constexpr int kWidth = 40;
    char bar[kWidth + 1] = {};
    for (int i = 0; i < kWidth; ++i)
        bar[i] = i < percent * kWidth / 100 ? '#' : '-';
    char line[80];
    std::snprintf(line, sizeof line, "[%s] %d%%", bar, percent);
    draw(line);
}

void ProgressBar::updateTail(double seconds) {
    if (!enabled_) return;
    const int tenths = static_cast<int>(seconds * 10.0);
    if (tenths == lastTenths_) return;
    lastTenths_ = tenths;
    draw(formatText("[########################################] tail %.1f s", seconds));
}

void ProgressBar::finish() {
    if (!enabled_ || !drawn_) return;
    std::fprintf(stderr, "\r%*s\r", 60, "");
    std::fflush(stderr);
    drawn_ = false;
}

void ProgressBar::draw(const std::string& line) {
    std::fprintf(stderr, "\r%-58s", line.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void RenderResult::append(const std::vector<float*>& channels, int32_t frames) {
    for (size_t c = 0; c < audio.channels.size() && c < channels.size(); ++c)
        audio.channels[c].insert(audio.channels[c].end(), channels[c], channels[c] + frames);
}

void noteTail(const TailRule& tail, std::vector<RenderNote>& notes) {
    if (!tail.hitCap()) return;
    notes.push_back({formatText("tail cut at %.0f s", TailRule::kMaxAutomaticSeconds),
                     formatText("the output still sounded when the automatic tail reached its "
                                "%.0f s limit and was cut there; --tail SECONDS sets its length",
                                TailRule::kMaxAutomaticSeconds)});
}

std::string peakText(float peak) {
    if (!(peak > 0.0f)) return "-inf dBFS";
    return formatText("%.1f dBFS", 20.0 * std::log10(static_cast<double>(peak)));
}

std::string summaryLine(const std::string& path, const WavAudio& audio, WavSampleFormat format,
                        const LevelReport& levels, double wallSeconds,
                        const std::vector<RenderNote>& notes) {
    const double seconds =
        audio.sampleRate > 0 ? static_cast<double>(audio.frameCount()) / audio.sampleRate : 0.0;
    const size_t channels = audio.channels.size();
    std::string line = (isStandardStream(path) ? std::string("(stdout)") : path) +
                       formatText(": %.2f s, ", seconds) + std::to_string(channels) +
                       (channels == 1 ? " channel, " : " channels, ") +
                       std::to_string(audio.sampleRate) + " Hz, " + sampleFormatName(format) +
                       (levels.dithered ? ", dithered" : "");
    if (levels.gainDecibels != 0.0) line += formatText("; gain %+.1f dB", levels.gainDecibels);
    line += "; peak " + peakText(levels.peak);
    const std::string count = std::to_string(levels.overFull);
    if (format != WavSampleFormat::Float32)
        line += ", " + count + (levels.overFull == 1 ? " sample" : " samples") + " clipped";
    else if (levels.overFull > 0)
        line += ", " + count + (levels.overFull == 1 ? " sample" : " samples") +
                " above 0 dBFS (kept: float)";
    // Below a microsecond the clock says nothing useful.
    if (wallSeconds < 1e-6) {
        line += "; speed not measurable";
    } else {
        const double speed = seconds / wallSeconds;
        line += formatText(speed < 10.0 ? "; %.1fx real time" : "; %.0fx real time", speed);
    }
    for (const RenderNote& note : notes)
        line += "; " + note.summary;
    return line;
}

int writeRenderedAudio(const std::string& prefix, const std::string& path, WavSampleFormat format,
                       const LevelOptions& levels, WavAudio& audio, double wallSeconds,
                       std::vector<RenderNote> notes, std::ostream& out, std::ostream& err) {
    const LevelReport report = applyOutputLevels(audio, format, levels);
    std::string error;
    if (isStandardStream(path)) {
        std::vector<uint8_t> bytes;
        if (encodeWav(audio, format, bytes, error)) {
            out.write(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::streamsize>(bytes.size()));
            out.flush();
            if (!out) error = "cannot write to standard output";
        }
    } else {
        writeWavFile(path, audio, format, error);
    }
    if (!error.empty()) {
        err << prefix << (isStandardStream(path) ? "" : path + ": ") << error << '\n';
        return 1;
    }
    if (report.overFull > 0 && format != WavSampleFormat::Float32)
        notes.insert(notes.begin(),
                     {"", std::to_string(report.overFull) +
                              (report.overFull == 1 ? " sample" : " samples") +
                              " went beyond full scale and were clipped; --gain -DB or "
                              "--normalize lowers the level"});
    for (const RenderNote& note : notes)
        err << prefix << "warning: " << note.warning << '\n';
    notes.erase(std::remove_if(notes.begin(), notes.end(),
                               [](const RenderNote& note) { return note.summary.empty(); }),
                notes.end());
    err << summaryLine(path, audio, format, report, wallSeconds, notes) << '\n';
    return 0;
}

ChannelBuffers::ChannelBuffers(int channels, int32_t frames)
    : storage_(static_cast<size_t>(std::max(channels, 0)),
               std::vector<float>(static_cast<size_t>(std::max(frames, 1)), 0.0f)) {
    for (auto& channel : storage_)
        pointers_.push_back(channel.data());
}

void ChannelBuffers::clear() {
    for (auto& channel : storage_)
        std::fill(channel.begin(), channel.end(), 0.0f);
}
