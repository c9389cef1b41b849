#pragma once
// The server of function tables (type 56): one table, shared by every
// creation for its resource. Creating counts a reference and destroying
// releases one; the last release destroys the table, which releases its
// resource object. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/pooled_server.h"
#include "zolt/core/script_objects/function_table.h"

namespace zolt::core {

class FunctionTableServer final : public PooledServer<FunctionTable, 1> {
public:
    FunctionTableServer() : PooledServer(server_type::function_table) {}

    const char* get_name() const override { return "FunctionTableServer"; }
    // The table of the resource id, with one more reference; an unknown id is
    // fatal.
    ServerObject* create_object_internal(uint32_t resource_id) override;
    void destroy_object_internal(ServerObject* object) override;
    // Every table goes, whatever its references.
    void destroy_all_objects() override;
};

extern FunctionTableServer function_table_server;

// 0 when the handle names no live function table.
float evaluate_function_table(ObjectHandle table, float x);

}  // namespace zolt::core
