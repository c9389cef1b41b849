#include "zolt/builtins/neighbour_stubs.h"

#include "zolt/builtins/builtin_helpers.h"

namespace zolt::core {

void answer_interface_stub(ScriptContext& context, uint32_t id) {
    // 649 updates widgets and has no result; the rest answer "no font, text
    // or widget".
    if (id != 649) {
        set_result(context, 0);
    }
}

void answer_navigation_stub(ScriptContext& context, uint32_t id) {
    switch (id) {
    case 242:
        set_vector_result(context, 0.0f, 0.0f, 1.0f);
        break;
    case 244:
        set_result(context, 1);
        break;
    case 246:
        set_result(context, 3);
        break;
    case 251:
    case 252:
    case 253:
    case 263:
    case 265:
    case 276:
    case 277:
    case 278:
        set_result(context, 0xFFFFFFFF);
        break;
    case 660:
    case 661:
    case 662:
        set_float_result(context, -1.0f);
        break;
    case 239:
    case 240:
    case 241:
    case 243:
    case 245:
    case 247:
    case 254:
    case 255:
    case 256:
    case 257:
    case 264:
    case 587:
    case 588:
    case 589:
    case 590:
    case 591:
    case 605:
    case 659:
        set_result(context, 0);
        break;
    default:
        break;
    }
}

}  // namespace zolt::core
