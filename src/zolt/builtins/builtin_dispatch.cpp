#include "zolt/builtins/builtin_dispatch.h"

#include <cmath>
#include <cstring>

#include "libs/io/pack_format.h"
#include "libs/opengl/gpu_quirks.h"
#include "libs/system/time_base.h"
#include "zolt/builtins/builtin_helpers.h"
#include "zolt/builtins/code_builtins.h"
#include "zolt/builtins/event_builtins.h"
#include "zolt/builtins/neighbour_stubs.h"
#include "zolt/builtins/random_builtins.h"
#include "zolt/builtins/resource_builtins.h"
#include "zolt/builtins/string_builtins.h"
#include "zolt/core/object_server/alias_server.h"
#include "zolt/core/script_objects/array_server.h"
#include "zolt/core/config/config_support_builtins.h"
#include "zolt/core/program/engine.h"
#include "zolt/core/resources/language.h"
#include "zolt/core/input/input.h"
#include "zolt/core/main_thread/message_pump.h"
#include "zolt/core/events/message_server.h"
#include "zolt/core/placement/placement_builtins.h"
#include "zolt/core/script_objects/random_generator.h"
#include "zolt/core/script_objects/random_generator_server.h"
#include "zolt/core/object_server/server_statistics.h"
#include "zolt/core/script_objects/string_object_numbers.h"
#include "zolt/core/script_objects/string_server.h"
#include "zolt/renderer/backend/frame_pacing.h"
#include "zolt/renderer/graphics_library/display_mode.h"
#include "zolt/renderer/graphics_library/gamma.h"

namespace zolt::core {

namespace {

constexpr uint32_t build_version_number = 39;

// Rounds to nearest like the processor does, without the undefined
// conversion of a double beyond the float range.
float get_nearest_float(uint32_t low, uint32_t high) {
    const uint64_t bits = uint64_t{high} << 32 | low;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    // FLT_MAX plus half its last place rounds up to infinity.
    constexpr double overflow = 0x1.ffffffp127;
    if (std::isfinite(value) && std::fabs(value) >= overflow) {
        return value < 0 ? -INFINITY : INFINITY;
    }
    return static_cast<float>(value);
}

void write_server_name(ObjectHandle string_handle, uint32_t type) {
    const char* const name = get_server_name(type);
    String* const string = get_string_object(string_handle);
    if (name == nullptr || string == nullptr) {
        return;
    }
    string->clear();
    string->append_c_string(name);
}

// The configuration builtins' view of script arrays.
class ConfigArrays final : public zolt::ConfigArrayAccess {
public:
    uint32_t create_array(const uint32_t* words, uint32_t word_count) override {
        ArrayObject* const array = array_server.create_array(word_count);
        for (uint32_t index = 0; index < word_count; ++index) {
            array->set_element(index, words[index]);
        }
        return array->get_handle();
    }
    bool get_array_words(uint32_t handle, const uint32_t** words, uint32_t* word_count) override {
        if (get_handle_server_type(handle) != server_type::array) {
            return false;
        }
        const auto* const array = static_cast<const ArrayObject*>(get_object(handle));
        if (array == nullptr) {
            return false;
        }
        *words = array->get_elements();
        *word_count = array->get_length();
        return true;
    }
    void destroy_array(uint32_t handle) override {
        if (ServerObject* const array = get_object(handle)) {
            destroy_object(array);
        }
    }
};

ConfigArrays& get_config_arrays() {
    static ConfigArrays arrays;
    return arrays;
}

}  // namespace

void call_builtin(ScriptContext& context, uint32_t id) {
    switch (id) {
    case 1: {  // none -> r0, r2, r4 = unit vector
        const geometry::Vector3 v = random_global_unit_vector3();
        set_vector_result(context, v.x, v.y, v.z);
        break;
    }
    case 2: {  // none -> r0, r2, r4 = point in the unit ball
        const geometry::Vector3 v = random_vector3_in_ball();
        set_vector_result(context, v.x, v.y, v.z);
        break;
    }
    case 3: {  // radii a, b, c -> r0, r2, r4 = point of the unit cube inside the ellipsoid
        const geometry::Vector3 v = random_point_in_ellipsoid(
            get_stack_float(context, 0), get_stack_float(context, 1), get_stack_float(context, 2));
        set_vector_result(context, v.x, v.y, v.z);
        break;
    }
    case 4: {  // half sizes x, y, z -> r0, r2, r4 = point in the box
        const geometry::Vector3 v = random_vector3_in_box(
            {get_stack_float(context, 0), get_stack_float(context, 1), get_stack_float(context, 2)});
        set_vector_result(context, v.x, v.y, v.z);
        break;
    }
    case 5: {  // direction x, y, z, angle in turns -> r0, r2, r4 = unit vector in the cone
        const geometry::Vector3 v =
            random_global_direction_in_cone(get_stack_float(context, 0), get_stack_float(context, 1),
                                            get_stack_float(context, 2), get_stack_float(context, 3));
        set_vector_result(context, v.x, v.y, v.z);
        break;
    }
    case 6: {  // none -> r0, r2 = unit vector
        const geometry::Vector3 v = random_global_unit_vector2();
        context.registers[0] = float_to_word(v.x);
        context.registers[2] = float_to_word(v.y);
        break;
    }
    case 7: {  // radii a, b -> r0, r2 = point of the unit square inside the ellipse
        const geometry::Vector3 v = random_point_in_ellipse(get_stack_float(context, 0), get_stack_float(context, 1));
        context.registers[0] = float_to_word(v.x);
        context.registers[2] = float_to_word(v.y);
        break;
    }
    case 8: {  // half sizes x, y -> r0, r2 = point in the rectangle
        const geometry::Vector3 v =
            random_vector2_in_rectangle(get_stack_float(context, 0), get_stack_float(context, 1));
        context.registers[0] = float_to_word(v.x);
        context.registers[2] = float_to_word(v.y);
        break;
    }
    case 9:    // none -> r0 = time base in ticks of 10 us
        set_result(context, get_time());
        break;
    case 10:   // none -> r0 = float in [0, 1]
        set_float_result(context, random_float_inclusive());
        break;
    case 11:   // none -> r0 = float in [0, 1)
        set_float_result(context, random_float());
        break;
    case 12:   // low, high -> r0 = integer in [low, high]
    case 13:   // low, high -> r0 = integer in [low, high]
        set_result(context, random_integer(get_stack_word(context, 0), get_stack_word(context, 1)));
        break;
    case 14:   // none -> r0 = 0
    case 15:   // none -> r0 = 0
    case 16:   // none -> r0 = 0
    case 17:   // none -> r0 = 0
    case 18:   // none -> r0 = 0
    case 19:   // none -> r0 = 0
    case 23:   // none -> r0 = 0
    case 24:   // none -> r0 = 0
    case 25:   // none -> r0 = 0
    case 26:   // none -> r0 = 0
    case 27:   // none -> r0 = 0
    case 28:   // none -> r0 = 0
    case 29:   // none -> r0 = 0
    case 71:   // none -> r0 = 0
    case 72:   // none -> r0 = 0
    case 121:  // none -> r0 = 0
    case 128:  // none -> r0 = 0
    case 129:  // none -> r0 = 0
    case 215:  // none -> r0 = 0
    case 216:  // none -> r0 = 0
    case 228:  // none -> r0 = 0
    case 234:  // none -> r0 = 0
    case 235:  // none -> r0 = 0
    case 317:  // none -> r0 = 0
    case 386:  // none -> r0 = 0
    case 387:  // none -> r0 = 0
        set_result(context, 0);
        break;
    case 20:   // string -> none; empties the string
    case 21:   // string -> none; empties the string
        clear_string(get_stack_word(context, 0));
        break;
    case 22:   // none -> none (no operation)
    case 30:   // none -> none (no operation)
    case 31:   // none -> none (no operation)
    case 74:   // none -> none (no operation)
    case 75:   // none -> none (no operation)
    case 79:   // none -> none (no operation)
    case 80:   // none -> none (no operation)
    case 81:   // none -> none (no operation)
    case 82:   // none -> none (no operation)
    case 83:   // none -> none (no operation)
    case 84:   // none -> none (no operation)
    case 85:   // none -> none (no operation)
    case 86:   // none -> none (no operation)
    case 87:   // none -> none (no operation)
    case 88:   // none -> none (no operation)
    case 89:   // none -> none (no operation)
    case 90:   // none -> none (no operation)
    case 91:   // none -> none (no operation)
    case 92:   // none -> none (no operation)
    case 93:   // none -> none (no operation)
    case 94:   // none -> none (no operation)
    case 95:   // none -> none (no operation)
    case 96:   // none -> none (no operation)
    case 97:   // none -> none (no operation)
    case 98:   // none -> none (no operation)
    case 99:   // none -> none (no operation)
    case 100:  // none -> none (no operation)
    case 101:  // none -> none (no operation)
    case 102:  // none -> none (no operation)
    case 103:  // none -> none (no operation)
    case 104:  // none -> none (no operation)
    case 105:  // none -> none (no operation)
    case 106:  // none -> none (no operation)
    case 107:  // none -> none (no operation)
    case 108:  // none -> none (no operation)
    case 109:  // none -> none (no operation)
    case 110:  // none -> none (no operation)
    case 122:  // none -> none (no operation)
    case 123:  // none -> none (no operation)
    case 130:  // none -> none (no operation)
    case 131:  // none -> none (no operation)
    case 212:  // none -> none (no operation)
    case 217:  // none -> none (no operation)
    case 218:  // none -> none (no operation)
    case 219:  // none -> none (no operation)
    case 222:  // none -> none (no operation)
    case 229:  // none -> none (no operation)
    case 300:  // none -> none (no operation)
    case 301:  // none -> none (no operation)
    case 318:  // none -> none (no operation)
    case 356:  // none -> none (no operation)
    case 357:  // none -> none (no operation)
    case 358:  // none -> none (no operation)
    case 359:  // none -> none (no operation)
    case 360:  // none -> none (no operation)
    case 361:  // none -> none (no operation)
    case 362:  // none -> none (no operation)
    case 363:  // none -> none (no operation)
    case 364:  // none -> none (no operation)
    case 365:  // none -> none (no operation)
    case 366:  // none -> none (no operation)
    case 367:  // none -> none (no operation)
        break;
    case 76:   // low word, high word -> r0 = the float nearest to that double
        set_float_result(context, get_nearest_float(get_stack_word(context, 0), get_stack_word(context, 1)));
        break;
    case 112:  // none -> fatal: console-only interface
        show_signin_ui();
    case 113:  // none -> fatal: console-only interface
        show_friends_ui();
    case 114:  // none -> fatal: console-only interface
        show_party_ui();
    case 115:  // none -> fatal: console-only interface
        show_community_sessions_ui();
    case 116:  // none -> fatal: console-only interface
        show_achievements_ui();
    case 117:  // none -> fatal: console-only interface
        show_gamer_card_ui();
    case 118:  // none -> r0 = 1
    case 119:  // none -> r0 = 1
    case 120:  // none -> r0 = 1
    case 124:  // none -> r0 = 1
    case 125:  // none -> r0 = 1
    case 388:  // none -> r0 = 1
    case 569:  // none -> r0 = 1
    case 684:  // none -> r0 = 1
    case 685:  // none -> r0 = 1
        set_result(context, 1);
        break;
    case 126:  // none -> none; clears aliases whose target is gone
        alias_server.purge_aliases();
        break;
    case 127:  // alias -> none; clears the alias
        alias_server.clear_alias(get_stack_word(context, 0));
        break;
    case 132:  // chain index, key -> r0 = code object handle or 0
        set_result(context, get_code_object_handle(get_stack_word(context, 0), get_stack_word(context, 1)));
        break;
    case 133:  // none -> r0 = CRC-32 of all loaded code
        set_result(context, compute_code_crc());
        break;
    case 134:  // none -> none; drops code objects nothing holds
        release_unused_code_objects();
        break;
    case 135:  // number, value -> none; bool variable = value != 0
        builtin_set_config_bool(get_stack_word(context, 1), get_stack_word(context, 0));
        break;
    case 136:  // number, value -> none; unsigned variable
        builtin_set_config_u32(get_stack_word(context, 1), get_stack_word(context, 0));
        break;
    case 137:  // number, value -> none; signed variable
        builtin_set_config_s32(get_stack_s32(context, 1), get_stack_word(context, 0));
        break;
    case 138:  // number, float value -> none; float variable
        builtin_set_config_float(get_stack_float(context, 1), get_stack_word(context, 0));
        break;
    case 139:  // number, float value -> none; variable by its type
        builtin_set_config_by_type(get_stack_float(context, 1), get_stack_word(context, 0));
        break;
    case 140:  // number -> r0 = bool variable, 0 or 1
        set_result(context, builtin_get_config_bool(get_stack_word(context, 0)));
        break;
    case 141:  // number -> r0 = variable as unsigned
        set_result(context, builtin_get_config_u32(get_stack_word(context, 0)));
        break;
    case 142:  // number -> r0 = variable as signed
        set_result(context, static_cast<uint32_t>(builtin_get_config_s32(get_stack_word(context, 0))));
        break;
    case 143:  // number -> r0 = variable as float
        set_float_result(context, builtin_get_config_float(get_stack_word(context, 0)));
        break;
    case 144:  // number -> r0 = variable converted to float
        set_float_result(context, builtin_get_config_as_float(get_stack_word(context, 0)));
        break;
    case 145:  // none -> r0 = 1 when the configuration file was written
        set_result(context, builtin_save_config_file());
        break;
    case 146:  // none -> r0 = new array of the profile variables as text
        set_result(context, builtin_get_profile_config(get_config_arrays()));
        break;
    case 147:  // array -> none; applies and destroys the configuration array
        builtin_set_profile_config(get_config_arrays(), get_stack_word(context, 0));
        break;
    case 148: case 149: case 150: case 151: case 152: case 153: case 154: case 155: case 156: case 157:
    case 158: case 159: case 160: case 161: case 162: case 163: case 164: case 165: case 166: case 167:
    case 168: case 169: case 170: case 171: case 172: case 173: case 174: case 175: case 176: case 177:
    case 178: case 179: case 180:  // clocks, the enabled mask and the time scales
        call_event_builtin(context, id);
        break;
    case 182:  // language -> none
        current_language = get_stack_word(context, 0);
        break;
    case 183:  // none -> r0 = language
        set_result(context, current_language);
        break;
    case 184:  // unit -> none; digit-group separator
        set_group_separator(static_cast<char16_t>(get_stack_word(context, 0)));
        break;
    case 185:  // none -> r0 = digit-group separator
        set_result(context, get_group_separator());
        break;
    case 186:  // unit -> none; decimal point
        set_decimal_point(static_cast<char16_t>(get_stack_word(context, 0)));
        break;
    case 187:  // none -> r0 = decimal point
        set_result(context, get_decimal_point());
        break;
    case 188:  // none -> none; asks the engine to quit
        request_quit();
        break;
    case 189:  // none -> none; destroys the messages without a live recipient
        if (message_server.is_registered()) {
            message_server.destroy_unaddressed_messages();
        }
        break;
    case 195:  // generator, low, high -> r0 = integer in [low, high] from the generator object, 0 for none
    case 196:  // generator, low, high -> r0 = integer in [low, high] from the generator object, 0 for none
        set_result(context, random_integer_from_generator(get_stack_word(context, 0), get_stack_word(context, 1),
                                                          get_stack_word(context, 2)));
        break;
    case 197:  // value, mask -> none; marks packs whose key & mask == value
        mark_resources(get_stack_word(context, 1), get_stack_word(context, 0));
        break;
    case 198:  // value, mask -> none; unmarks them
        unmark_resources(get_stack_word(context, 1), get_stack_word(context, 0));
        break;
    case 199:  // wait -> r0 = 1 when everything marked is loaded, 0 while loading
        set_result(context, apply_resource_marks(get_stack_word(context, 0)));
        break;
    case 200:  // resource id -> r0 = 1 when a pack holds it
        set_result(context, find_resource(get_stack_word(context, 0)));
        break;
    case 201:  // resource id -> r0 = 1 when it is loaded
        set_result(context, is_resource_loaded(get_stack_word(context, 0)));
        break;
    case 204:  // string, server type -> none; the server's name into the string
        write_server_name(get_stack_word(context, 0), get_stack_word(context, 1));
        break;
    case 205:  // server type -> r0 = live objects
        set_result(context, get_server_statistics(get_stack_word(context, 0)).live_count);
        break;
    case 206:  // server type -> r0 = capacity
        set_result(context, get_server_statistics(get_stack_word(context, 0)).capacity);
        break;
    case 207:  // server type -> r0 = free objects
        set_result(context, get_server_free_count(get_stack_word(context, 0)));
        break;
    case 208:  // server type -> r0 = highest live count
        set_result(context, get_server_statistics(get_stack_word(context, 0)).high_water_count);
        break;
    case 209:  // server type -> r0 = object size in bytes
        set_result(context, get_server_statistics(get_stack_word(context, 0)).object_size);
        break;
    case 210:  // server type -> r0 = live / capacity (float)
        set_float_result(context, get_server_usage(get_stack_word(context, 0)));
        break;
    case 211:  // server type -> r0 = highest live / capacity (float)
        set_float_result(context, get_server_peak_usage(get_stack_word(context, 0)));
        break;
    case 220:  // string, unit, start -> r0 = index of the unit at or after start, or the length
        set_result(context,
                   find_character(get_stack_word(context, 2), get_stack_word(context, 1), get_stack_word(context, 0)));
        break;
    case 221:  // string, index -> r0 = unit at index, 0 past the end
        set_result(context, character_at(get_stack_word(context, 1), get_stack_word(context, 0)));
        break;
    case 223:  // slot -> r0 = local user code, -1 for another slot
        set_result(context, get_local_user_code(get_stack_word(context, 0)));
        break;
    case 224:  // code -> r0 = local user slot, -1 for another code
        set_result(context, get_local_user_slot(get_stack_word(context, 0)));
        break;
    case 227:  // clock selector -> none; polls the input devices
        poll_input(get_stack_word(context, 0));
        break;
    case 231:  // code, user -> r0 = 1 when the code is down for user -1
        set_result(context, is_input_active(get_stack_word(context, 0), get_stack_word(context, 1)) ? 1 : 0);
        break;
    case 232:  // action code, slot, user -> r0 = bound code, 0 for none
        set_result(context, get_action_binding_for_user(get_stack_word(context, 0), get_stack_word(context, 1),
                                                        get_stack_word(context, 2)));
        break;
    case 233:  // action code, code, user -> none; binds the code to the action
        add_action_binding_for_user(get_stack_word(context, 0), get_stack_word(context, 1),
                                    get_stack_word(context, 2));
        break;
    case 236: {  // string, code -> r0 = 1 when the key's name was written
        String* const string = get_string_object(get_stack_word(context, 0));
        set_result(context, string != nullptr && write_input_name(get_stack_word(context, 1), string) ? 1 : 0);
        break;
    }
    case 237:  // level (f32) -> none
        set_input_level(get_stack_float(context, 0));
        break;
    case 225:  // none -> r0 = engine version of pack and save headers
        set_result(context, io::pack_engine_version);
        break;
    case 226:  // none -> r0 = configuration variable build_version
        set_result(context, builtin_get_config_u32(build_version_number));
        break;
    case 230:  // none -> r0 = -1
        set_result(context, 0xFFFFFFFF);
        break;
    case 238:  // resource id -> none
    case 239:  // object, point, layer, mesh -> r0 = 1 found, 0 not
    case 240:  // object, point, layer, half size (f32), height limit (f32), mesh, state limit -> r0 = 1 / 0
    case 241:  // object, mesh, target point, start triangle, distance bound (f32), state limit -> r0 = 1 / 0
    case 242:  // mesh, triangle -> r0 = vector (nx, ny, nz): the triangle's plane normal
    case 243:  // from-object, to-object, context (0 allowed), walk test, leave-start-obstacles -> r0 = bool
    case 244:  // path, context, distance (f32), leave-start-obstacles -> r0 = 1 blocked, 0 free
    case 245:  // context, point -> r0 = obstacle mask (u32)
    case 246:  // object -> r0 = state of the object's location's triangle
    case 247:  // point, mesh, triangle -> r0 = bool
    case 248:  // context -> none
    case 249:  // context -> none
    case 250:  // context -> none
    case 251:  // context, object -> r0 = index / -1
    case 252:  // context, object -> r0 = 0 / -1
    case 253:  // context, obstacle -> r0 = index / -1
    case 254:  // none -> r0 = bool
    case 255:  // context -> r0 = bool
    case 256:  // context -> r0 = bool
    case 257:  // budget (0: no limit) -> r0 = bool, true while the search goes on
    case 258:  // path -> none
    case 259:  // path -> none
    case 260:  // path, object, link kind, link data -> none
    case 261:  // path, link kind, link data -> none
    case 262:  // none -> none
    case 263:  // mesh, id -> r0 = point number / -1
    case 264:  // mesh, object, point number -> r0 = 1 / 0
    case 265:  // id -> r0 = group index / -1
    case 266:  // group index -> none
    case 267:  // group index -> none
    case 268:  // mesh number -> none
    case 269:  // mesh number -> none
    case 270:  // group id, counter -> none
    case 271:  // group id, counter -> none
    case 272:  // group id -> none
    case 273:  // group id -> none
    case 274:  // group id -> none
    case 275:  // group id -> none
    case 276:  // mesh, id -> r0 = group index / -1
    case 277:  // mesh, id -> r0 = group index / -1
    case 278:  // mesh, id -> r0 = group index / -1
    case 279:  // mesh, group index, counter -> none
    case 280:  // mesh, group index, counter -> none
    case 281:  // mesh, group index -> none
    case 282:  // mesh, group index -> none
    case 283:  // mesh, group index -> none
    case 284:  // mesh, group index -> none
    case 587:  // point, hint sector -> r0 = sector or 0
    case 588:  // area number -> r0 = loaded area or 0
    case 589:  // sector location, area -> r0 = sector or 0
    case 590:  // area, record index -> r0 = sector or 0
    case 591:  // area -> r0 = sector record count
    case 605:  // sector, position, radius -> r0 = neighbour sector or 0
    case 658:  // none -> none; aura intersection pass
    case 659:  // origin, direction, maximum distance, category mask -> r0 = nearest aura hit or 0
    case 660:  // origin, direction, centre, radius -> r0 = hit distance, -1.0 missed
    case 661:  // origin, direction, box minimum, box maximum -> r0 = hit distance, -1.0 missed
    case 662:  // origin, direction, centre, radius, half height -> r0 = hit distance, -1.0 missed
        answer_navigation_stub(context, id);
        break;
    case 529:  // time -> r0 = previous playback time
        set_result(context, set_playback_time(get_stack_word(context, 0)));
        break;
    case 530:  // time -> r0 = previous record time
        set_result(context, set_record_time(get_stack_word(context, 0)));
        break;
    case 531:  // time -> none; drops earlier keyframes of every tracked placement
        drop_keyframes_before(get_stack_word(context, 0));
        break;
    case 532:  // placement, time -> none; drops its earlier keyframes
        drop_placement_keyframes_before(get_stack_word(context, 1), get_stack_word(context, 0));
        break;
    case 533:  // placement, time -> none; drops its later keyframes
        drop_placement_keyframes_after(get_stack_word(context, 1), get_stack_word(context, 0));
        break;
    case 534:  // none -> none; drops every keyframe
        drop_all_keyframes();
        break;
    case 535:  // placement -> none; drops its keyframes
        drop_placement_keyframes(get_stack_word(context, 0));
        break;
    case 566:  // font, unit -> r0 = 0 (no font)
    case 567:  // text, line -> r0 = 0 (no text)
    case 568:  // text, line -> r0 = 0 (no text)
    case 649:  // none -> none (no widgets)
    case 650:  // widget, point x, y -> r0 = 0 (no widget)
        answer_interface_stub(context, id);
        break;
    case 571:  // none -> fatal: withdrawn screen projection
        renderer::project_to_screen();
    case 570:  // enabled -> none; late-frame dropping off when 0
        renderer::set_late_frame_dropping(get_stack_word(context, 0));
        break;
    case 651: {  // none -> r0, r2 = the current mode's width and height
        const geometry::Vector4 size = renderer::builtin_get_display_size();
        set_vector_result(context, size.x, size.y, size.z);
        break;
    }
    case 652:  // none -> r0 = 0.0
        set_float_result(context, renderer::builtin_get_display_reserved());
        break;
    case 653:  // none -> r0 = number of display modes
        set_result(context, renderer::builtin_get_display_mode_count());
        break;
    case 654: {  // mode index -> r0, r2, r4 = width, height, refresh rate; zeros outside the table
        const geometry::Vector4 mode = renderer::builtin_get_display_mode(get_stack_s32(context, 0));
        set_vector_result(context, mode.x, mode.y, mode.z);
        break;
    }
    case 655:  // mode index -> r0 = 1 when that mode was set
        set_result(context, renderer::builtin_set_display_mode(get_stack_s32(context, 0)));
        break;
    case 656:  // none -> r0 = current display mode index
        set_result(context, static_cast<uint32_t>(renderer::builtin_get_display_mode_index()));
        break;
    case 657:  // contrast, brightness, gamma (top) -> none; applied at once
        renderer::builtin_set_gamma(get_stack_float(context, 2), get_stack_float(context, 1),
                                    get_stack_float(context, 0));
        break;
    case 631:  // none -> r0 = 1 when the ATI 2.1.8577 driver quirk is clear
        set_result(context, opengl::get_driver_quirk_flag());
        break;

    default:
        break;
    }
}

}  // namespace zolt::core
