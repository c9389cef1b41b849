#include "zolt/core/object_server/alias_builtins.h"

#include "zolt/builtins/builtin_binding.h"
#include "zolt/core/object_server/alias_server.h"

namespace zolt::core {

namespace {

void purge_aliases() {
    alias_server.purge_aliases();
}

void clear_alias(AliasHandle alias) {
    alias_server.clear_alias(alias);
}

}  // namespace

void bind_alias_builtins(BuiltinTable& table) {
    bind_builtin<BuiltinId::purge_aliases, &purge_aliases>(table);
    bind_builtin<BuiltinId::clear_alias, &clear_alias>(table);
}

}  // namespace zolt::core
