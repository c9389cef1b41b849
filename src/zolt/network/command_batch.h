#pragma once
// Command batches: up to 31 command records that a player sends its host in
// one message, each field sent only when it differs from the record before.
// The host turns each record into a command-record message on the network
// clock for the target game object. Main thread only.
#include <cstdint>

#include "zolt/core/object_server/object_handle.h"
#include "zolt/network/connection.h"

namespace zolt::network {

namespace command_record_property {
constexpr uint32_t next = 0x1000258, command = 0x3000259, first_value = 0x500024A, second_value = 0x500025A,
                   word = 0x300025B, last = 0x300025C;
}  // namespace command_record_property

constexpr uint32_t command_batch_capacity = 31;

// Builtin 348: the records are first_record and those its next property
// reaches. Nothing is sent without a record or a connected client link.
bool send_command_batch(core::ObjectHandle target, core::ObjectHandle first_record, bool reliable);
// The host's handler of the batch; false fails the link.
bool on_command_batch(Connection& link, NetworkStream& stream);

}  // namespace zolt::network
