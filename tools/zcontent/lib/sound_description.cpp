#include "sound_description.h"

#include <cstdio>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>

#include "json_document.h"
#include "wav_reader.h"
#include "zolt/sound/resources/sound_bank_format.h"
#include "zolt/sound/resources/vorbis_memory_stream.h"
#include "zolt/sound/resources/wave_bank_format.h"
#include "zpack/lib/pack_writer.h"

namespace zolt::tools {
namespace {

using Json = nlohmann::json;

struct WaveName {
    uint32_t bank;
    uint16_t index;
};

struct Context {
    std::string path;
    std::filesystem::path folder;
    std::string* error;
    std::map<std::string, WaveName> waves;

    bool fail(const std::string& where, const std::string& problem) const {
        *error = path + ": " + where + ": " + problem;
        return false;
    }
};

bool check_keys(const Json& object, std::initializer_list<const char*> known, const Context& context,
                const std::string& where) {
    const std::string problem = find_json_key_problem(object, known);
    return problem.empty() || context.fail(where, problem);
}

bool read_integer(const Json& object, const char* key, int64_t low, int64_t high, int64_t* value,
                  const Context& context, const std::string& where) {
    if (!object.contains(key)) {
        return true;
    }
    const Json& item = object[key];
    if (!item.is_number_integer() || item.get<int64_t>() < low || item.get<int64_t>() > high) {
        return context.fail(where, "\"" + std::string(key) + "\": expected a whole number from " + std::to_string(low) +
                                       " to " + std::to_string(high) + ", not " + quote_json_value(item));
    }
    *value = item.get<int64_t>();
    return true;
}

bool read_float(const Json& object, const char* key, float low, float high, float* value, const Context& context,
                const std::string& where) {
    if (!object.contains(key)) {
        return true;
    }
    const Json& item = object[key];
    if (!item.is_number() || !(item.get<double>() >= low && item.get<double>() <= high)) {
        return context.fail(where, "\"" + std::string(key) + "\": expected a number from " + std::to_string(low) +
                                       " to " + std::to_string(high) + ", not " + quote_json_value(item));
    }
    *value = static_cast<float>(item.get<double>());
    return true;
}

bool read_range(const Json& object, const char* key, int16_t* low, int16_t* high, const Context& context,
                const std::string& where) {
    if (!object.contains(key)) {
        return true;
    }
    const Json& item = object[key];
    if (!item.is_array() || item.size() != 2 || !item[0].is_number_integer() || !item[1].is_number_integer() ||
        item[0].get<int64_t>() < -10000 || item[1].get<int64_t>() > 10000 ||
        item[0].get<int64_t>() > item[1].get<int64_t>()) {
        return context.fail(where, "\"" + std::string(key) +
                                       "\": expected [lowest, highest] whole numbers from -10000 to 10000, not " +
                                       quote_json_value(item));
    }
    *low = static_cast<int16_t>(item[0].get<int64_t>());
    *high = static_cast<int16_t>(item[1].get<int64_t>());
    return true;
}

bool read_playlist_type(const Json& object, uint16_t* type, const Context& context, const std::string& where) {
    if (!object.contains("playlist")) {
        return true;
    }
    const Json& item = object["playlist"];
    static const char* const names[] = {"random", "random_no_repeat", "sequence"};
    for (uint16_t index = 0; index < 3; ++index) {
        if (item.is_string() && item.get<std::string>() == names[index]) {
            *type = index;
            return true;
        }
    }
    return context.fail(where,
                        "\"playlist\": expected random, random_no_repeat or sequence, not " + quote_json_value(item));
}

bool read_source(const std::filesystem::path& file, bool* is_vorbis, zolt::sound::WaveDescription* wave,
                 const Context& context, const std::string& where) {
    std::vector<uint8_t> bytes;
    std::string problem;
    if (!read_file(file.string(), &bytes, &problem)) {
        return context.fail(where, "\"source\": " + problem);
    }
    if (file.extension() == ".ogg") {
        sound::VorbisMemoryStream stream;
        if (bytes.size() > UINT32_MAX ||
            !sound::open_vorbis_stream(stream, bytes.data(), static_cast<uint32_t>(bytes.size()))) {
            return context.fail(where, "\"source\": " + file.string() + ": not Ogg Vorbis data the decoder accepts");
        }
        wave->format = sound::wave_format::vorbis;
        wave->channels = static_cast<uint16_t>(sound::get_vorbis_channels(stream));
        wave->sample_rate = sound::get_vorbis_sample_rate(stream);
        wave->duration = static_cast<float>(ov_time_total(&stream.decoder, -1));
        sound::close_vorbis_stream(stream);
        wave->data = std::move(bytes);
        *is_vorbis = true;
        return true;
    }
    WavSound wav;
    if (!parse_wav(bytes, file.string(), &wav, &problem)) {
        return context.fail(where, "\"source\": " + problem);
    }
    wave->format = wav.bits_per_sample == 8 ? sound::wave_format::pcm_8 : sound::wave_format::pcm_16;
    wave->channels = wav.channels;
    wave->sample_rate = wav.sample_rate;
    const uint32_t block = wav.channels * wav.bits_per_sample / 8u;
    wave->duration = static_cast<float>(wav.samples.size() / block) / static_cast<float>(wav.sample_rate);
    wave->data = std::move(wav.samples);
    *is_vorbis = false;
    return true;
}

bool build_wave_bank(const Json& bank, uint32_t position, Context& context, std::vector<SoundResource>* out) {
    std::string where = "wave bank " + std::to_string(position);
    if (!check_keys(bank, {"number", "waves"}, context, where)) {
        return false;
    }
    int64_t number = 0;
    if (!bank.contains("number") || !read_integer(bank, "number", 1, 4095, &number, context, where)) {
        return number == 0 && !bank.contains("number") ? context.fail(where, "\"number\": missing") : false;
    }
    where = "wave bank " + std::to_string(number);
    if (!bank.contains("waves") || !bank["waves"].is_array() || bank["waves"].empty()) {
        return context.fail(where, "\"waves\": expected a non-empty array of waves");
    }
    std::vector<sound::WaveDescription> waves;
    bool bank_is_vorbis = false;
    for (uint32_t index = 0; index < bank["waves"].size(); ++index) {
        const Json& item = bank["waves"][index];
        std::string wave_where = where + ": wave " + std::to_string(index);
        if (!check_keys(item, {"name", "source", "loop", "loop_start", "loop_length"}, context, wave_where)) {
            return false;
        }
        if (!item.contains("name") || !item["name"].is_string() || item["name"].get<std::string>().empty()) {
            return context.fail(wave_where, "\"name\": expected a name");
        }
        const std::string name = item["name"].get<std::string>();
        wave_where = where + ": wave \"" + name + "\"";
        if (context.waves.count(name) != 0) {
            return context.fail(wave_where, "\"name\": the name is given to two waves");
        }
        if (!item.contains("source") || !item["source"].is_string()) {
            return context.fail(wave_where, "\"source\": expected a file name");
        }
        sound::WaveDescription wave;
        bool is_vorbis = false;
        if (!read_source(context.folder / item["source"].get<std::string>(), &is_vorbis, &wave, context, wave_where)) {
            return false;
        }
        if (index == 0) {
            bank_is_vorbis = is_vorbis;
        } else if (is_vorbis != bank_is_vorbis) {
            return context.fail(wave_where, "\"source\": a bank holds either WAV or Ogg Vorbis waves, not both");
        }
        if (item.contains("loop") && !item["loop"].is_boolean()) {
            return context.fail(wave_where, "\"loop\": expected true or false");
        }
        wave.loops = item.value("loop", false);
        sound::WaveRecord shape{};
        shape.format = wave.format;
        shape.channels = wave.channels;
        const uint32_t block = sound::get_wave_block_size(shape);
        const int64_t frames = is_vorbis ? 0 : static_cast<int64_t>(wave.data.size() / block);
        int64_t loop_start = 0;
        int64_t loop_length = frames;
        if ((item.contains("loop_start") || item.contains("loop_length")) && (is_vorbis || !wave.loops)) {
            return context.fail(wave_where, "loop points belong to looping WAV waves only");
        }
        if (!read_integer(item, "loop_start", 0, frames, &loop_start, context, wave_where)) {
            return false;
        }
        loop_length = frames - loop_start;
        if (!read_integer(item, "loop_length", 1, frames - loop_start, &loop_length, context, wave_where)) {
            return false;
        }
        if (wave.loops && !is_vorbis) {
            wave.loop_start = static_cast<uint32_t>(loop_start * block);
            wave.loop_length = static_cast<uint32_t>(loop_length * block);
        }
        context.waves[name] = {static_cast<uint32_t>(number), static_cast<uint16_t>(index)};
        waves.push_back(std::move(wave));
    }
    std::vector<uint8_t> header, data;
    std::string problem;
    if (!sound::build_wave_bank(bank_is_vorbis, waves, &header, &data, &problem)) {
        return context.fail(where, problem);
    }
    out->push_back({sound::get_wave_bank_header_id(static_cast<uint32_t>(number)), std::move(header)});
    out->push_back({sound::get_wave_bank_data_id(static_cast<uint32_t>(number)), std::move(data)});
    return true;
}

bool read_sound(const Json& item, uint32_t index, const Context& context, const std::string& bank_where,
                std::vector<uint32_t>* wave_banks, sound::SoundDescription* sound, std::string* name) {
    std::string where = bank_where + ": sound " + std::to_string(index);
    if (!check_keys(item,
                    {"name", "waves", "playlist", "volume", "pitch", "reverb_send", "positional", "cone", "curve",
                     "inner_distance", "maximum_distance", "fade_in", "fade_out"},
                    context, where)) {
        return false;
    }
    if (!item.contains("name") || !item["name"].is_string() || item["name"].get<std::string>().empty()) {
        return context.fail(where, "\"name\": expected a name");
    }
    *name = item["name"].get<std::string>();
    where = bank_where + ": sound \"" + *name + "\"";
    sound::SoundBankSound& record = sound->sound;
    record = {};
    record.reverb_send = -10000;
    record.maximum_distance = 1.0f;
    int64_t reverb_send = record.reverb_send;
    if (!read_playlist_type(item, &record.playlist_type, context, where) ||
        !read_range(item, "volume", &record.minimum_volume, &record.maximum_volume, context, where) ||
        !read_range(item, "pitch", &record.minimum_pitch, &record.maximum_pitch, context, where) ||
        !read_integer(item, "reverb_send", -10000, 0, &reverb_send, context, where) ||
        !read_float(item, "inner_distance", 0.0f, 1e9f, &record.inner_distance, context, where) ||
        !read_float(item, "maximum_distance", 0.0f, 1e9f, &record.maximum_distance, context, where) ||
        !read_float(item, "fade_in", 0.0f, 3600.0f, &record.fade_in, context, where) ||
        !read_float(item, "fade_out", 0.0f, 3600.0f, &record.fade_out, context, where)) {
        return false;
    }
    if (record.maximum_pitch > 1200) {
        return context.fail(where, "\"pitch\": at most 1200 cents (a frequency ratio of 2)");
    }
    record.reverb_send = static_cast<int16_t>(reverb_send);
    if (item.contains("positional")) {
        if (!item["positional"].is_boolean()) {
            return context.fail(where, "\"positional\": expected true or false");
        }
        record.flags = item["positional"].get<bool>() ? sound::sound_flag_positional : 0;
    }
    if (record.inner_distance > record.maximum_distance) {
        return context.fail(where, "\"inner_distance\": beyond the maximum distance");
    }
    if (item.contains("cone")) {
        const Json& cone = item["cone"];
        if (!check_keys(cone, {"inner", "outer", "outside_level"}, context, where + ": cone")) {
            return false;
        }
        int64_t level = -6400;
        if (!read_float(cone, "inner", 0.0f, 1.0f, &record.cone_inner, context, where + ": cone") ||
            !read_float(cone, "outer", 0.0f, 1.0f, &record.cone_outer, context, where + ": cone") ||
            !read_integer(cone, "outside_level", -10000, -1, &level, context, where + ": cone")) {
            return false;
        }
        record.cone_outside_level = static_cast<int16_t>(level);
    }
    record.curve_point_count = 2;
    if (item.contains("curve")) {
        const Json& curve = item["curve"];
        if (!curve.is_array() || curve.size() > sound::curve_level_count) {
            return context.fail(where, "\"curve\": expected up to 8 levels from 0 to 255");
        }
        for (uint32_t point = 0; point < curve.size(); ++point) {
            if (!curve[point].is_number_integer() || curve[point].get<int64_t>() < 0 ||
                curve[point].get<int64_t>() > 255) {
                return context.fail(where, "\"curve\": expected up to 8 levels from 0 to 255");
            }
            record.curve_levels[point] = static_cast<uint8_t>(curve[point].get<int64_t>());
        }
        record.curve_point_count = static_cast<uint16_t>(curve.size() + 2);
    }
    if (!item.contains("waves") || !item["waves"].is_array() || item["waves"].empty() ||
        item["waves"].size() > sound::maximum_playlist_length) {
        return context.fail(where, "\"waves\": expected an array of 1 to 255 waves");
    }
    for (const Json& entry : item["waves"]) {
        if (!check_keys(entry, {"wave", "weight"}, context, where + ": waves")) {
            return false;
        }
        int64_t weight = 1;
        if (!read_integer(entry, "weight", 0, 0xFFFF, &weight, context, where + ": waves")) {
            return false;
        }
        const auto found = entry.contains("wave") && entry["wave"].is_string()
                               ? context.waves.find(entry["wave"].get<std::string>())
                               : context.waves.end();
        if (found == context.waves.end()) {
            return context.fail(where, "\"waves\": " + quote_json_value(entry.value("wave", Json())) +
                                           " names no wave of the description");
        }
        bool listed = false;
        for (const uint32_t bank : *wave_banks) {
            listed = listed || bank == found->second.bank;
        }
        if (!listed) {
            if (wave_banks->size() == sound::maximum_bank_wave_banks) {
                return context.fail(where, "\"waves\": a sound bank draws on at most 4 wave banks");
            }
            wave_banks->push_back(found->second.bank);
        }
        sound->waves.push_back({found->second.bank, found->second.index, static_cast<uint16_t>(weight)});
    }
    return true;
}

bool build_sound_bank(const Json& bank, uint32_t position, const Context& context, std::vector<SoundResource>* out) {
    std::string where = "sound bank " + std::to_string(position);
    if (!check_keys(bank, {"number", "sounds", "cues"}, context, where)) {
        return false;
    }
    int64_t number = 0;
    if (!bank.contains("number")) {
        return context.fail(where, "\"number\": missing");
    }
    if (!read_integer(bank, "number", 1, 4095, &number, context, where)) {
        return false;
    }
    where = "sound bank " + std::to_string(number);
    if (!bank.contains("sounds") || !bank["sounds"].is_array() || !bank.contains("cues") || !bank["cues"].is_array()) {
        return context.fail(where, "expected arrays \"sounds\" and \"cues\"");
    }
    std::vector<uint32_t> wave_banks;
    std::vector<sound::SoundDescription> sounds;
    std::map<std::string, uint16_t> sound_names;
    for (uint32_t index = 0; index < bank["sounds"].size(); ++index) {
        sound::SoundDescription sound;
        std::string name;
        if (!read_sound(bank["sounds"][index], index, context, where, &wave_banks, &sound, &name)) {
            return false;
        }
        if (!sound_names.emplace(name, static_cast<uint16_t>(index)).second) {
            return context.fail(where + ": sound \"" + name + "\"", "\"name\": the name is given to two sounds");
        }
        sounds.push_back(std::move(sound));
    }
    std::vector<sound::CueDescription> cues;
    for (uint32_t index = 0; index < bank["cues"].size(); ++index) {
        const Json& item = bank["cues"][index];
        const std::string cue_where = where + ": cue " + std::to_string(index);
        if (!check_keys(item, {"id", "category", "priority", "playlist", "sounds"}, context, cue_where)) {
            return false;
        }
        int64_t id = 0, category = 0, priority = 0;
        sound::CueDescription cue;
        if (!item.contains("id")) {
            return context.fail(cue_where, "\"id\": missing");
        }
        if (!read_integer(item, "id", 1, 0xFFFF, &id, context, cue_where) ||
            !read_integer(item, "category", 0, 3, &category, context, cue_where) ||
            !read_integer(item, "priority", 0, 255, &priority, context, cue_where) ||
            !read_playlist_type(item, &cue.playlist_type, context, cue_where)) {
            return false;
        }
        for (const sound::CueDescription& other : cues) {
            if (other.cue_id == id) {
                return context.fail(cue_where, "\"id\": the id is given to two cues");
            }
        }
        cue.cue_id = static_cast<uint16_t>(id);
        cue.category = static_cast<uint8_t>(category);
        cue.priority = static_cast<uint8_t>(priority);
        if (!item.contains("sounds") || !item["sounds"].is_array() || item["sounds"].empty() ||
            item["sounds"].size() > sound::maximum_playlist_length) {
            return context.fail(cue_where, "\"sounds\": expected an array of 1 to 255 sounds");
        }
        for (const Json& entry : item["sounds"]) {
            if (!check_keys(entry, {"sound", "weight"}, context, cue_where + ": sounds")) {
                return false;
            }
            int64_t weight = 1;
            if (!read_integer(entry, "weight", 0, 0xFFFF, &weight, context, cue_where + ": sounds")) {
                return false;
            }
            const auto found = entry.contains("sound") && entry["sound"].is_string()
                                   ? sound_names.find(entry["sound"].get<std::string>())
                                   : sound_names.end();
            if (found == sound_names.end()) {
                return context.fail(cue_where, "\"sounds\": " + quote_json_value(entry.value("sound", Json())) +
                                                   " names no sound of the bank");
            }
            cue.sounds.push_back({0, found->second, static_cast<uint16_t>(weight)});
        }
        cues.push_back(std::move(cue));
    }
    std::vector<uint8_t> data;
    std::string problem;
    if (!sound::build_sound_bank(wave_banks, cues, sounds, &data, &problem)) {
        return context.fail(where, problem);
    }
    out->push_back({sound::get_sound_bank_id(static_cast<uint32_t>(number)), std::move(data)});
    return true;
}

}  // namespace

bool compile_sound_description(const std::string& text, const std::string& path, std::vector<SoundResource>* out,
                               std::string* error) {
    out->clear();
    Json document;
    std::string problem;
    if (!parse_json_document(text, &document, &problem)) {
        *error = path + ": " + problem;
        return false;
    }
    Context context{path, std::filesystem::path(path).parent_path(), error, {}};
    if (!check_keys(document, {"wave_banks", "sound_banks"}, context, "description")) {
        return false;
    }
    for (const char* key : {"wave_banks", "sound_banks"}) {
        if (document.contains(key) && !document[key].is_array()) {
            return context.fail("description", "\"" + std::string(key) + "\": expected an array");
        }
    }
    const Json empty = Json::array();
    const Json& wave_banks = document.contains("wave_banks") ? document["wave_banks"] : empty;
    const Json& sound_banks = document.contains("sound_banks") ? document["sound_banks"] : empty;
    for (uint32_t index = 0; index < wave_banks.size(); ++index) {
        if (!build_wave_bank(wave_banks[index], index, context, out)) {
            return false;
        }
    }
    for (uint32_t index = 0; index < sound_banks.size(); ++index) {
        if (!build_sound_bank(sound_banks[index], index, context, out)) {
            return false;
        }
    }
    for (size_t a = 0; a < out->size(); ++a) {
        for (size_t b = a + 1; b < out->size(); ++b) {
            if ((*out)[a].id == (*out)[b].id) {
                char id[16];
                std::snprintf(id, sizeof id, "0x%08x", (*out)[a].id);
                return context.fail("description", std::string("two banks make resource ") + id);
            }
        }
    }
    return true;
}

bool compile_sound_description_file(const std::string& path, std::vector<SoundResource>* out, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!read_file(path, &bytes, error)) {
        return false;
    }
    return compile_sound_description(std::string(bytes.begin(), bytes.end()), path, out, error);
}

}  // namespace zolt::tools
