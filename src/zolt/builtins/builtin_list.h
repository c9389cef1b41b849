#pragma once
// The one table of the 701 script builtins: id, name, the family that binds
// the body, result and arguments. The dispatcher's jump table, the family
// bindings (checked against their rows at compile time), the assembler and
// the disassembler all read it, so `call builtin(quit)` and builtin 188
// cannot disagree. No engine includes: the tools read it too.
//
// Calling convention. Arguments are the top words of the operand stack and
// are listed top first: the first argument is the top word (pushed last),
// the next the words below it. A vector argument takes consecutive words with
// x uppermost. A builtin reads its arguments in place and never moves the
// stack index, the frame base or the program counter; the bytecode drops the
// arguments itself. A scalar result goes to r0; vector2 to r0 r2; vector to
// r0 r2 r4; vector4 and quaternion to r0 r2 r4 r6. A builtin without a
// result leaves the registers alone; r1, r3, r5 and r7 are never written.
//
// Kinds: uint, int and float words; bool (non-zero is true, results 0 or 1);
// unit (a UTF-16 unit in the low 16 bits); colour (packed in one word);
// vectors and quaternions of floats; handle:any and the handles of one server
// each, which say what they take so that two handles of different servers
// cannot be swapped. A handle that names nothing gives the row's neutral
// result: 0, a zero vector or the identity quaternion. The families that have
// no bodies yet answer that neutral result for every row, and the rows named
// unused_<id> take nothing, change nothing and answer nothing, 0 or 1.
// Plain data; any thread.
#include <cstdint>
#include <string_view>

namespace zolt::core {

constexpr uint32_t last_builtin_id = 701;

// X(kind, words, spelling in the argument lists)
// clang-format off
#define ZOLT_BUILTIN_KIND_LIST(X)                                                                                      \
    X(none, 0, "none")                                                                                                 \
    X(u32, 1, "uint")                                                                                                  \
    X(s32, 1, "int")                                                                                                   \
    X(f32, 1, "float")                                                                                                 \
    X(boolean, 1, "bool")                                                                                              \
    X(unit, 1, "unit")                                                                                                 \
    X(colour, 1, "colour")                                                                                             \
    X(vector2, 2, "vector2")                                                                                           \
    X(vector3, 3, "vector")                                                                                            \
    X(vector4, 4, "vector4")                                                                                           \
    X(quaternion, 4, "quaternion")                                                                                     \
    X(any_handle, 1, "handle:any")                                                                                     \
    X(alias_handle, 1, "handle:Alias")                                                                                 \
    X(animator_handle, 1, "handle:Animator")                                                                           \
    X(array_handle, 1, "handle:Array")                                                                                 \
    X(aura_handle, 1, "handle:Aura")                                                                                   \
    X(code_handle, 1, "handle:Code")                                                                                   \
    X(decal_handle, 1, "handle:Decal")                                                                                 \
    X(dynamic_obstacle_handle, 1, "handle:DynamicObstacle")                                                            \
    X(font_handle, 1, "handle:Font")                                                                                   \
    X(function_table_handle, 1, "handle:FunctionTable")                                                                \
    X(game_handle, 1, "handle:Game")                                                                                   \
    X(loadable_area_handle, 1, "handle:LoadableArea")                                                                  \
    X(material_handle, 1, "handle:Material")                                                                           \
    X(mesh_handle, 1, "handle:Mesh")                                                                                   \
    X(navigational_context_handle, 1, "handle:NavigationalContext")                                                    \
    X(navigational_mesh_handle, 1, "handle:NavigationalMesh")                                                          \
    X(particle_generator_handle, 1, "handle:ParticleGenerator")                                                        \
    X(path_handle, 1, "handle:Path")                                                                                   \
    X(physx_actor_handle, 1, "handle:PhysXActor")                                                                      \
    X(physx_cloth_handle, 1, "handle:PhysXCloth")                                                                      \
    X(physx_controller_handle, 1, "handle:PhysXController")                                                            \
    X(physx_joint_handle, 1, "handle:PhysXJoint")                                                                      \
    X(placement_handle, 1, "handle:Placement")                                                                         \
    X(random_generator_handle, 1, "handle:RandomGenerator")                                                            \
    X(resource_handle, 1, "handle:Resource")                                                                           \
    X(sector_handle, 1, "handle:Sector")                                                                               \
    X(skeleton_handle, 1, "handle:Skeleton")                                                                           \
    X(sound_entity_handle, 1, "handle:SoundEntity")                                                                    \
    X(sound_listener_handle, 1, "handle:SoundListener")                                                                \
    X(state_machine_handle, 1, "handle:StateMachine")                                                                  \
    X(storage_handle, 1, "handle:Storage")                                                                             \
    X(string_handle, 1, "handle:String")                                                                               \
    X(text_handle, 1, "handle:Text")                                                                                   \
    X(texture_handle, 1, "handle:Texture")                                                                             \
    X(track_mixer_handle, 1, "handle:TrackMixer")                                                                      \
    X(viewport_handle, 1, "handle:Viewport")                                                                           \
    X(widget_handle, 1, "handle:Widget")

// clang-format on
// X(family)
// clang-format off
#define ZOLT_BUILTIN_FAMILY_LIST(X)                                                                                    \
    X(aliases)                                                                                                         \
    X(animators)                                                                                                       \
    X(code)                                                                                                            \
    X(config)                                                                                                          \
    X(console_ui)                                                                                                      \
    X(data_tables)                                                                                                     \
    X(debug_draw)                                                                                                      \
    X(decals)                                                                                                          \
    X(dispatch)                                                                                                        \
    X(event_clocks)                                                                                                    \
    X(frame_buffer)                                                                                                    \
    X(frame_pacing)                                                                                                    \
    X(function_tables)                                                                                                 \
    X(gpu_quirks)                                                                                                      \
    X(input)                                                                                                           \
    X(interface)                                                                                                       \
    X(lights)                                                                                                          \
    X(loading_screen)                                                                                                  \
    X(main_thread)                                                                                                     \
    X(material_server)                                                                                                 \
    X(materials)                                                                                                       \
    X(meshes)                                                                                                          \
    X(messages)                                                                                                        \
    X(motions)                                                                                                         \
    X(navigation)                                                                                                      \
    X(network)                                                                                                         \
    X(particles)                                                                                                       \
    X(physics)                                                                                                         \
    X(placements)                                                                                                      \
    X(random)                                                                                                          \
    X(resources)                                                                                                       \
    X(save_system)                                                                                                     \
    X(server_statistics)                                                                                               \
    X(shader_library)                                                                                                  \
    X(skeletons)                                                                                                       \
    X(sound)                                                                                                           \
    X(state_machines)                                                                                                  \
    X(strings)                                                                                                         \
    X(stubs)                                                                                                           \
    X(system)                                                                                                          \
    X(textures)                                                                                                        \
    X(track_mixers)                                                                                                    \
    X(viewports)                                                                                                       \
    X(window)

// clang-format on
// X(id, name, family, "result", "arguments, top first")
// clang-format off
#define ZOLT_BUILTIN_LIST(X)                                                                                           \
    X(1, random_unit_vector3, random, "vector", "")                                                                    \
    X(2, random_vector3_in_ball, random, "vector", "")                                                                 \
    X(3, random_vector3_in_ellipsoid, random, "vector", "vector radii")                                                \
    X(4, random_vector3_in_box, random, "vector", "vector half_sizes")                                                 \
    X(5, random_direction_in_cone, random, "vector", "vector direction, float angle")                                  \
    X(6, random_unit_vector2, random, "vector2", "")                                                                   \
    X(7, random_vector2_in_ellipse, random, "vector2", "vector2 radii")                                                \
    X(8, random_vector2_in_rectangle, random, "vector2", "vector2 half_sizes")                                         \
    X(9, get_time, main_thread, "uint", "")                                                                            \
    X(10, random_float_inclusive, random, "float", "")                                                                 \
    X(11, random_float, random, "float", "")                                                                           \
    X(12, random_integer, random, "uint", "uint low, uint high")                                                       \
    X(13, random_integer_twin, random, "uint", "uint low, uint high")                                                  \
    X(14, unused_14, stubs, "int", "")                                                                                 \
    X(15, unused_15, stubs, "int", "")                                                                                 \
    X(16, unused_16, stubs, "int", "")                                                                                 \
    X(17, unused_17, stubs, "int", "")                                                                                 \
    X(18, unused_18, stubs, "int", "")                                                                                 \
    X(19, unused_19, stubs, "int", "")                                                                                 \
    X(20, clear_string, strings, "none", "handle:String string")                                                       \
    X(21, clear_string_twin, strings, "none", "handle:String string")                                                  \
    X(22, unused_22, stubs, "none", "")                                                                                \
    X(23, unused_23, stubs, "int", "")                                                                                 \
    X(24, unused_24, stubs, "int", "")                                                                                 \
    X(25, unused_25, stubs, "int", "")                                                                                 \
    X(26, unused_26, stubs, "int", "")                                                                                 \
    X(27, unused_27, stubs, "int", "")                                                                                 \
    X(28, unused_28, stubs, "int", "")                                                                                 \
    X(29, unused_29, stubs, "int", "")                                                                                 \
    X(30, unused_30, stubs, "none", "")                                                                                \
    X(31, unused_31, stubs, "none", "")                                                                                \
    X(32, get_table_run_value_a, data_tables, "uint", "handle:any table, uint row_key, uint column_key")               \
    X(33, get_table_run_value_b, data_tables, "uint", "handle:any table, uint row_key, uint column_key")               \
    X(34, get_table_run_float, data_tables, "float", "handle:any table, uint row_key, uint column_key")                \
    X(35, find_table_record_word0, data_tables, "uint", "handle:any table, uint key")                                  \
    X(36, find_table_record_word1, data_tables, "uint", "handle:any table, uint key")                                  \
    X(37, find_table_record_word2, data_tables, "uint", "handle:any table, uint key")                                  \
    X(38, has_table_key, data_tables, "bool", "handle:any table, uint key")                                            \
    X(39, find_table_section, data_tables, "bool", "handle:any table, uint key")                                       \
    X(40, get_table_section_value, data_tables, "float", "handle:any table, uint section_key, uint key")               \
    X(41, get_table_byte, data_tables, "uint", "handle:any table, uint key")                                           \
    X(42, get_table_count, data_tables, "uint", "handle:any table")                                                    \
    X(43, get_table_record28_u16_0, data_tables, "uint", "handle:any table, uint record")                              \
    X(44, get_table_record28_u16_2, data_tables, "uint", "handle:any table, uint record")                              \
    X(45, get_table_record28_vector_a, data_tables, "vector4", "handle:any table, uint record")                        \
    X(46, get_table_record28_vector_b, data_tables, "vector4", "handle:any table, uint record")                        \
    X(47, read_leaderboard_range, network, "int", "uint first_rank, uint count, handle:Array request")                 \
    X(48, get_leaderboard_entry_of_user, network, "int", "uint user_id_low, uint user_id_high, handle:Array request")  \
    X(49, read_leaderboard_around_user, network, "int", "uint count, handle:Array request")                            \
    X(50, read_leaderboard_friends, network, "int", "handle:Array request")                                            \
    X(51, proceed_leaderboard_read, network, "int", "handle:Array result")                                             \
    X(52, cancel_leaderboard_read, network, "none", "")                                                                \
    X(53, reset_leaderboard_reader, network, "none", "")                                                               \
    X(54, set_leaderboard_upload, network, "bool", "uint leaderboard, uint method")                                    \
    X(55, set_leaderboard_score, network, "bool", "uint leaderboard, int score")                                       \
    X(56, set_leaderboard_detail_integer, network, "bool", "uint leaderboard, uint column, int value")                 \
    X(57, set_leaderboard_detail_integer_twin, network, "bool", "uint leaderboard, uint column, int value")            \
    X(58, set_leaderboard_detail_float, network, "bool", "uint leaderboard, uint column, float value")                 \
    X(59, clear_leaderboard_upload, network, "bool", "")                                                               \
    X(60, proceed_leaderboard_upload, network, "int", "")                                                              \
    X(61, cancel_leaderboard_upload, network, "none", "")                                                              \
    X(62, reset_leaderboard_writer, network, "none", "")                                                               \
    X(63, open_overlay_dialog, network, "none", "uint dialog")                                                         \
    X(64, open_overlay_to_user, network, "none", "uint kind, uint user_id_low, uint user_id_high")                     \
    X(65, set_achievement, network, "bool", "uint achievement, bool achieved")                                         \
    X(66, set_stat, network, "bool", "uint stat, int value")                                                           \
    X(67, update_user_stats, network, "none", "")                                                                      \
    X(68, reset_user_stats, network, "none", "")                                                                       \
    X(69, reboot, system, "none", "")                                                                                  \
    X(70, quit_to_demo_launcher, system, "none", "")                                                                   \
    X(71, unused_71, stubs, "int", "")                                                                                 \
    X(72, unused_72, stubs, "int", "")                                                                                 \
    X(73, query_system, system, "vector4", "uint code")                                                                \
    X(74, unused_74, stubs, "none", "")                                                                                \
    X(75, unused_75, stubs, "none", "")                                                                                \
    X(76, convert_double_to_float, dispatch, "float", "uint low, uint high")                                           \
    X(77, multiply_divide_64, system, "uint", "uint a, uint b, uint c, uint d")                                        \
    X(78, divide_64, system, "uint", "uint low, uint high, int divisor")                                               \
    X(79, unused_79, stubs, "none", "")                                                                                \
    X(80, unused_80, stubs, "none", "")                                                                                \
    X(81, unused_81, stubs, "none", "")                                                                                \
    X(82, unused_82, stubs, "none", "")                                                                                \
    X(83, unused_83, stubs, "none", "")                                                                                \
    X(84, unused_84, stubs, "none", "")                                                                                \
    X(85, unused_85, stubs, "none", "")                                                                                \
    X(86, unused_86, stubs, "none", "")                                                                                \
    X(87, unused_87, stubs, "none", "")                                                                                \
    X(88, unused_88, stubs, "none", "")                                                                                \
    X(89, unused_89, stubs, "none", "")                                                                                \
    X(90, unused_90, stubs, "none", "")                                                                                \
    X(91, unused_91, stubs, "none", "")                                                                                \
    X(92, unused_92, stubs, "none", "")                                                                                \
    X(93, unused_93, stubs, "none", "")                                                                                \
    X(94, unused_94, stubs, "none", "")                                                                                \
    X(95, unused_95, stubs, "none", "")                                                                                \
    X(96, unused_96, stubs, "none", "")                                                                                \
    X(97, unused_97, stubs, "none", "")                                                                                \
    X(98, unused_98, stubs, "none", "")                                                                                \
    X(99, unused_99, stubs, "none", "")                                                                                \
    X(100, unused_100, stubs, "none", "")                                                                              \
    X(101, unused_101, stubs, "none", "")                                                                              \
    X(102, unused_102, stubs, "none", "")                                                                              \
    X(103, unused_103, stubs, "none", "")                                                                              \
    X(104, unused_104, stubs, "none", "")                                                                              \
    X(105, unused_105, stubs, "none", "")                                                                              \
    X(106, unused_106, stubs, "none", "")                                                                              \
    X(107, unused_107, stubs, "none", "")                                                                              \
    X(108, unused_108, stubs, "none", "")                                                                              \
    X(109, unused_109, stubs, "none", "")                                                                              \
    X(110, unused_110, stubs, "none", "")                                                                              \
    X(111, is_overlay_active, network, "bool", "")                                                                     \
    X(112, show_signin_ui, console_ui, "none", "")                                                                     \
    X(113, show_friends_ui, console_ui, "none", "")                                                                    \
    X(114, show_party_ui, console_ui, "none", "")                                                                      \
    X(115, show_community_sessions_ui, console_ui, "none", "")                                                         \
    X(116, show_achievements_ui, console_ui, "none", "")                                                               \
    X(117, show_gamer_card_ui, console_ui, "none", "")                                                                 \
    X(118, unused_118, stubs, "int", "")                                                                               \
    X(119, unused_119, stubs, "int", "")                                                                               \
    X(120, unused_120, stubs, "int", "")                                                                               \
    X(121, unused_121, stubs, "int", "")                                                                               \
    X(122, unused_122, stubs, "none", "")                                                                              \
    X(123, unused_123, stubs, "none", "")                                                                              \
    X(124, unused_124, stubs, "int", "")                                                                               \
    X(125, unused_125, stubs, "int", "")                                                                               \
    X(126, purge_aliases, aliases, "none", "")                                                                         \
    X(127, clear_alias, aliases, "none", "handle:Alias alias")                                                         \
    X(128, unused_128, stubs, "int", "")                                                                               \
    X(129, unused_129, stubs, "int", "")                                                                               \
    X(130, unused_130, stubs, "none", "")                                                                              \
    X(131, unused_131, stubs, "none", "")                                                                              \
    X(132, get_code_object_handle, code, "handle:Code", "uint chain_index, uint key")                                  \
    X(133, compute_code_crc, code, "uint", "")                                                                         \
    X(134, release_unused_code_objects, code, "none", "")                                                              \
    X(135, set_config_bool, config, "none", "uint number, uint value")                                                 \
    X(136, set_config_unsigned, config, "none", "uint number, uint value")                                             \
    X(137, set_config_signed, config, "none", "uint number, int value")                                                \
    X(138, set_config_float, config, "none", "uint number, float value")                                               \
    X(139, set_config_by_type, config, "none", "uint number, float value")                                             \
    X(140, get_config_bool, config, "bool", "uint number")                                                             \
    X(141, get_config_unsigned, config, "uint", "uint number")                                                         \
    X(142, get_config_signed, config, "int", "uint number")                                                            \
    X(143, get_config_float, config, "float", "uint number")                                                           \
    X(144, get_config_as_float, config, "float", "uint number")                                                        \
    X(145, save_config_file, config, "bool", "")                                                                       \
    X(146, export_profile_variables, config, "handle:Array", "")                                                       \
    X(147, set_config_variables, config, "none", "handle:Array array")                                                 \
    X(148, get_clock_selector, event_clocks, "uint", "uint clock")                                                     \
    X(149, get_current_clock_selector, event_clocks, "uint", "")                                                       \
    X(150, set_clock_time, event_clocks, "none", "uint clock, uint time")                                              \
    X(151, get_clock_time, event_clocks, "uint", "uint clock")                                                         \
    X(152, get_clock_previous_target, event_clocks, "uint", "uint clock")                                              \
    X(153, get_clock_last_tick, event_clocks, "uint", "uint clock")                                                    \
    X(154, get_clock_target, event_clocks, "uint", "uint clock")                                                       \
    X(155, get_clock_seconds, event_clocks, "uint", "uint clock")                                                      \
    X(156, get_clock_second_fraction, event_clocks, "float", "uint clock")                                             \
    X(157, get_clock_time_of_day, event_clocks, "float", "uint clock")                                                 \
    X(158, get_clock_step, event_clocks, "uint", "uint clock")                                                         \
    X(159, set_current_clock_time, event_clocks, "none", "uint time")                                                  \
    X(160, get_current_clock_time, event_clocks, "uint", "")                                                           \
    X(161, get_current_clock_previous_target, event_clocks, "uint", "")                                                \
    X(162, get_current_clock_last_tick, event_clocks, "uint", "")                                                      \
    X(163, get_current_clock_target, event_clocks, "uint", "")                                                         \
    X(164, get_current_clock_seconds, event_clocks, "uint", "")                                                        \
    X(165, get_current_clock_second_fraction, event_clocks, "float", "")                                               \
    X(166, get_current_clock_time_of_day, event_clocks, "float", "")                                                   \
    X(167, get_current_clock_step, event_clocks, "uint", "")                                                           \
    X(168, set_enabled_clock_mask, event_clocks, "none", "uint mask")                                                  \
    X(169, enable_clocks, event_clocks, "none", "uint mask")                                                           \
    X(170, disable_clocks, event_clocks, "none", "uint mask")                                                          \
    X(171, get_enabled_clock_mask, event_clocks, "uint", "")                                                           \
    X(172, is_clock_enabled, event_clocks, "bool", "uint clock")                                                       \
    X(173, is_clock_disabled, event_clocks, "bool", "uint clock")                                                      \
    X(174, set_time_scale_1_mask, event_clocks, "none", "uint mask")                                                   \
    X(175, get_time_scale_1_mask, event_clocks, "uint", "")                                                            \
    X(176, set_time_scale_1, event_clocks, "none", "float scale")                                                      \
    X(177, get_time_scale_1, event_clocks, "float", "")                                                                \
    X(178, set_time_scale_2_mask, event_clocks, "none", "uint mask")                                                   \
    X(179, get_time_scale_2_mask, event_clocks, "uint", "")                                                            \
    X(180, get_time_scale_2, event_clocks, "float", "")                                                                \
    X(181, validate_language, loading_screen, "uint", "uint language")                                                 \
    X(182, set_current_language, resources, "none", "uint language")                                                   \
    X(183, get_current_language, resources, "uint", "")                                                                \
    X(184, set_group_separator, strings, "none", "unit unit")                                                          \
    X(185, get_group_separator, strings, "unit", "")                                                                   \
    X(186, set_decimal_point, strings, "none", "unit unit")                                                            \
    X(187, get_decimal_point, strings, "unit", "")                                                                     \
    X(188, quit, main_thread, "none", "")                                                                              \
    X(189, destroy_unaddressed_messages, messages, "none", "")                                                         \
    X(190, clear_persistent_values, system, "none", "uint index, uint count")                                          \
    X(191, set_persistent_value, system, "none", "uint index, uint value")                                             \
    X(192, get_persistent_value, system, "uint", "uint index")                                                         \
    X(193, set_persistent_values, system, "none",                                                                      \
      "handle:Array array, uint array_start, uint persistent_start, uint count")                                       \
    X(194, get_persistent_values, system, "none",                                                                      \
      "handle:Array array, uint array_start, uint persistent_start, uint count")                                       \
    X(195, random_integer_from_generator, random, "uint", "handle:RandomGenerator generator, uint low, uint high")     \
    X(196, random_integer_from_generator_twin, random, "uint",                                                         \
      "handle:RandomGenerator generator, uint low, uint high")                                                         \
    X(197, mark_resources, resources, "none", "uint value, uint mask")                                                 \
    X(198, unmark_resources, resources, "none", "uint value, uint mask")                                               \
    X(199, apply_resource_marks, resources, "bool", "bool wait")                                                       \
    X(200, find_resource, resources, "bool", "uint id")                                                                \
    X(201, is_resource_loaded, resources, "bool", "uint id")                                                           \
    X(202, get_last_load_time, save_system, "uint", "")                                                                \
    X(203, get_last_load_id, save_system, "uint", "")                                                                  \
    X(204, write_server_name, server_statistics, "none", "handle:String string, uint server_type")                     \
    X(205, get_server_live_count, server_statistics, "uint", "uint server_type")                                       \
    X(206, get_server_capacity, server_statistics, "uint", "uint server_type")                                         \
    X(207, get_server_free_count, server_statistics, "uint", "uint server_type")                                       \
    X(208, get_server_high_water_count, server_statistics, "uint", "uint server_type")                                 \
    X(209, get_server_object_size, server_statistics, "uint", "uint server_type")                                      \
    X(210, get_server_usage, server_statistics, "float", "uint server_type")                                           \
    X(211, get_server_peak_usage, server_statistics, "float", "uint server_type")                                      \
    X(212, unused_212, stubs, "none", "")                                                                              \
    X(213, has_state_transition, state_machines, "bool", "handle:StateMachine state_machine, uint message_id")         \
    X(214, has_state_transition_target, state_machines, "bool", "handle:StateMachine state_machine, uint message_id")  \
    X(215, unused_215, stubs, "int", "")                                                                               \
    X(216, unused_216, stubs, "int", "")                                                                               \
    X(217, unused_217, stubs, "none", "")                                                                              \
    X(218, unused_218, stubs, "none", "")                                                                              \
    X(219, unused_219, stubs, "none", "")                                                                              \
    X(220, find_character, strings, "uint", "handle:String string, unit unit, uint start")                             \
    X(221, character_at, strings, "unit", "handle:String string, uint index")                                          \
    X(222, unused_222, stubs, "none", "")                                                                              \
    X(223, get_local_user_code, input, "int", "uint slot")                                                             \
    X(224, get_local_user_slot, input, "int", "uint code")                                                             \
    X(225, get_engine_version, resources, "uint", "")                                                                  \
    X(226, get_build_version, config, "uint", "")                                                                      \
    X(227, poll_input, input, "none", "uint clock_selector")                                                           \
    X(228, unused_228, stubs, "int", "")                                                                               \
    X(229, unused_229, stubs, "none", "")                                                                              \
    X(230, answer_minus_one, dispatch, "int", "")                                                                      \
    X(231, is_input_active, input, "bool", "uint code, int user")                                                      \
    X(232, get_action_binding, input, "uint", "uint action_code, uint slot, int user")                                 \
    X(233, add_action_binding, input, "none", "uint action_code, uint code, int user")                                 \
    X(234, unused_234, stubs, "int", "")                                                                               \
    X(235, unused_235, stubs, "int", "")                                                                               \
    X(236, write_input_name, input, "bool", "handle:String string, uint code")                                         \
    X(237, set_input_level, input, "none", "float level")                                                              \
    X(238, load_navigation_graph, navigation, "none", "uint resource_id")                                              \
    X(239, locate_point_on_navigation_mesh, navigation, "bool",                                                        \
      "handle:any object, vector point, uint layer, handle:NavigationalMesh mesh")                                     \
    X(240, find_nearest_navigation_location, navigation, "bool",                                                       \
      "handle:any object, vector point, uint layer, float half_size, float height_limit, "                             \
      "handle:NavigationalMesh mesh, uint state_limit")                                                                \
    X(241, find_nearest_reachable_location, navigation, "bool",                                                        \
      "handle:any object, handle:NavigationalMesh mesh, vector target, uint start_triangle, float distance_bound, "    \
      "uint state_limit")                                                                                              \
    X(242, get_navigation_triangle_plane, navigation, "vector", "handle:NavigationalMesh mesh, uint triangle")         \
    X(243, is_direct_path_free, navigation, "bool",                                                                    \
      "handle:any from_object, handle:any to_object, handle:NavigationalContext context, bool walk_test, "             \
      "bool leave_start_obstacles")                                                                                    \
    X(244, is_path_blocked_ahead, navigation, "bool",                                                                  \
      "handle:Path path, handle:NavigationalContext context, float distance, bool leave_start_obstacles")              \
    X(245, get_obstacles_at_point, navigation, "uint", "handle:NavigationalContext context, vector point")             \
    X(246, get_location_triangle_state, navigation, "uint", "handle:any object")                                       \
    X(247, is_point_in_navigation_triangle, navigation, "bool",                                                        \
      "vector point, handle:NavigationalMesh mesh, uint triangle")                                                     \
    X(248, clear_start_locations, navigation, "none", "handle:NavigationalContext context")                            \
    X(249, clear_goal_location, navigation, "none", "handle:NavigationalContext context")                              \
    X(250, clear_obstacles, navigation, "none", "handle:NavigationalContext context")                                  \
    X(251, add_start_location, navigation, "int", "handle:NavigationalContext context, handle:any object")             \
    X(252, set_goal_location, navigation, "int", "handle:NavigationalContext context, handle:any object")              \
    X(253, add_obstacle, navigation, "int", "handle:NavigationalContext context, handle:DynamicObstacle obstacle")     \
    X(254, is_path_search_active, navigation, "bool", "")                                                              \
    X(255, start_path_search, navigation, "bool", "handle:NavigationalContext context")                                \
    X(256, start_local_path_search, navigation, "bool", "handle:NavigationalContext context")                          \
    X(257, step_path_search, navigation, "bool", "uint budget")                                                        \
    X(258, clear_path, navigation, "none", "handle:Path path")                                                         \
    X(259, remove_first_path_point, navigation, "none", "handle:Path path")                                            \
    X(260, append_object_location, navigation, "none",                                                                 \
      "handle:Path path, handle:any object, uint link_kind, uint link_data")                                           \
    X(261, write_search_result_to_path, navigation, "none", "handle:Path path, uint link_kind, uint link_data")        \
    X(262, finish_path_search, navigation, "none", "")                                                                 \
    X(263, find_point_index, navigation, "int", "handle:NavigationalMesh mesh, uint id")                               \
    X(264, get_navigation_point_location, navigation, "bool",                                                          \
      "handle:NavigationalMesh mesh, handle:any object, uint point")                                                   \
    X(265, find_graph_group, navigation, "int", "uint id")                                                             \
    X(266, close_graph_group, navigation, "none", "int group")                                                         \
    X(267, open_graph_group, navigation, "none", "int group")                                                          \
    X(268, close_mesh_graph_links, navigation, "none", "int mesh_number")                                              \
    X(269, open_mesh_graph_links, navigation, "none", "int mesh_number")                                               \
    X(270, close_triangle_group_everywhere, navigation, "none", "uint group_id, uint counter")                         \
    X(271, open_triangle_group_everywhere, navigation, "none", "uint group_id, uint counter")                          \
    X(272, close_node_group_everywhere, navigation, "none", "uint group_id")                                           \
    X(273, open_node_group_everywhere, navigation, "none", "uint group_id")                                            \
    X(274, close_link_group_everywhere, navigation, "none", "uint group_id")                                           \
    X(275, open_link_group_everywhere, navigation, "none", "uint group_id")                                            \
    X(276, find_triangle_group, navigation, "int", "handle:NavigationalMesh mesh, uint id")                            \
    X(277, find_node_group, navigation, "int", "handle:NavigationalMesh mesh, uint id")                                \
    X(278, find_link_group, navigation, "int", "handle:NavigationalMesh mesh, uint id")                                \
    X(279, close_triangle_group, navigation, "none", "handle:NavigationalMesh mesh, uint group, uint counter")         \
    X(280, open_triangle_group, navigation, "none", "handle:NavigationalMesh mesh, uint group, uint counter")          \
    X(281, close_node_group, navigation, "none", "handle:NavigationalMesh mesh, uint group")                           \
    X(282, open_node_group, navigation, "none", "handle:NavigationalMesh mesh, uint group")                            \
    X(283, close_link_group, navigation, "none", "handle:NavigationalMesh mesh, uint group")                           \
    X(284, open_link_group, navigation, "none", "handle:NavigationalMesh mesh, uint group")                            \
    X(285, accept_client_messages, network, "none", "handle:Game game_object")                                         \
    X(286, register_game_object_key, network, "none", "uint key, handle:Game game_object")                             \
    X(287, begin_transport_format, network, "none", "uint format, uint implied_message_type")                          \
    X(288, add_transport_format_pair, network, "none", "uint property_id, uint transport_format")                      \
    X(289, end_transport_format, network, "none", "")                                                                  \
    X(290, release_transport_format, network, "none", "uint format")                                                   \
    X(291, clear_transport_formats, network, "none", "")                                                               \
    X(292, is_steam_available, network, "bool", "")                                                                    \
    X(293, update_network, network, "none", "")                                                                        \
    X(294, get_steam_state, network, "uint", "")                                                                       \
    X(295, get_network_game_state, network, "uint", "")                                                                \
    X(296, get_state_change_time, network, "uint", "")                                                                 \
    X(297, get_ticks_since_state_change, network, "uint", "")                                                          \
    X(298, is_state_older_than, network, "bool", "uint ticks")                                                         \
    X(299, is_steam_available_twin, network, "bool", "")                                                               \
    X(300, unused_300, network, "none", "")                                                                            \
    X(301, unused_301, network, "none", "")                                                                            \
    X(302, is_network_host, network, "bool", "")                                                                       \
    X(303, is_network_local_only, network, "bool", "")                                                                 \
    X(304, append_default_game_name, network, "bool", "handle:String string")                                          \
    X(305, host_network_game, network, "bool", "handle:any settings")                                                  \
    X(306, get_host_error, network, "uint", "")                                                                        \
    X(307, set_hosted_map_name, network, "bool", "uint ignored, handle:String map_name")                               \
    X(308, set_player_score, network, "bool", "uint slot, int score")                                                  \
    X(309, get_player_score, network, "int", "uint slot")                                                              \
    X(310, append_player_name, network, "bool", "uint slot, handle:String string")                                     \
    X(311, get_own_slot, network, "uint", "")                                                                          \
    X(312, append_own_player_name, network, "bool", "handle:String string")                                            \
    X(313, get_ticks_since_clock_reply, network, "uint", "")                                                           \
    X(314, set_player_value, network, "bool", "uint slot, uint value")                                                 \
    X(315, get_own_player_mask, network, "uint", "")                                                                   \
    X(316, get_merged_player_mask, network, "uint", "")                                                                \
    X(317, unused_317, network, "int", "")                                                                             \
    X(318, unused_318, network, "none", "")                                                                            \
    X(319, start_game_search, network, "bool", "handle:any settings")                                                  \
    X(320, stop_game_search, network, "none", "")                                                                      \
    X(321, is_browsing, network, "bool", "")                                                                           \
    X(322, get_game_list_count, network, "uint", "")                                                                   \
    X(323, append_game_list_name, network, "bool", "handle:String string, uint index")                                 \
    X(324, append_game_list_map, network, "bool", "handle:String string, uint index")                                  \
    X(325, get_game_list_reserved_value, network, "uint", "uint index")                                                \
    X(326, get_game_list_type, network, "uint", "uint index")                                                          \
    X(327, get_game_list_reserved_byte_0, network, "uint", "uint index")                                               \
    X(328, get_game_list_reserved_byte_1, network, "uint", "uint index")                                               \
    X(329, get_game_list_player_count, network, "uint", "uint index")                                                  \
    X(330, get_game_list_private_player_count, network, "uint", "uint index")                                          \
    X(331, get_game_list_player_limit, network, "uint", "uint index")                                                  \
    X(332, get_game_list_private_limit, network, "uint", "uint index")                                                 \
    X(333, join_listed_game, network, "bool", "uint index")                                                            \
    X(334, get_join_error, network, "uint", "")                                                                        \
    X(335, clear_game_list, network, "none", "")                                                                       \
    X(336, get_connect_request_user, network, "int", "")                                                               \
    X(337, cancel_connect_request, network, "none", "")                                                                \
    X(338, start_connect_request, network, "bool", "")                                                                 \
    X(339, poll_connect_request, network, "bool", "")                                                                  \
    X(340, start_loading_network_game, network, "bool", "")                                                            \
    X(341, start_network_game, network, "bool", "")                                                                    \
    X(342, stop_network_game, network, "bool", "")                                                                     \
    X(343, acknowledge_network_game_stop, network, "bool", "")                                                         \
    X(344, set_network_clock, network, "none", "uint clock")                                                           \
    X(345, leave_network_game, network, "none", "")                                                                    \
    X(346, drop_player, network, "none", "uint slot")                                                                  \
    X(347, send_message_to_host, network, "none",                                                                      \
      "handle:any target, uint message_type, uint format, handle:any source, bool reliable")                           \
    X(348, send_command_batch, network, "none", "handle:any target, handle:any first_record, bool reliable")           \
    X(349, send_message_to_players, network, "none",                                                                   \
      "uint slot_mask, handle:any target, uint message_type, uint format, handle:any source, bool reliable")           \
    X(350, get_game_server_steam_id_low, network, "uint", "")                                                          \
    X(351, get_game_server_steam_id_high, network, "uint", "")                                                         \
    X(352, get_player_steam_id_low, network, "uint", "uint slot")                                                      \
    X(353, get_player_steam_id_high, network, "uint", "uint slot")                                                     \
    X(354, is_valid_steam_id, network, "bool", "uint low, uint high")                                                  \
    X(355, is_game_server_connected, network, "bool", "")                                                              \
    X(356, unused_356, stubs, "none", "")                                                                              \
    X(357, unused_357, stubs, "none", "")                                                                              \
    X(358, unused_358, stubs, "none", "")                                                                              \
    X(359, unused_359, stubs, "none", "")                                                                              \
    X(360, unused_360, stubs, "none", "")                                                                              \
    X(361, unused_361, stubs, "none", "")                                                                              \
    X(362, unused_362, stubs, "none", "")                                                                              \
    X(363, unused_363, stubs, "none", "")                                                                              \
    X(364, unused_364, stubs, "none", "")                                                                              \
    X(365, unused_365, stubs, "none", "")                                                                              \
    X(366, unused_366, stubs, "none", "")                                                                              \
    X(367, unused_367, stubs, "none", "")                                                                              \
    X(368, physx_create_actor, physics, "bool", "handle:PhysXActor actor, uint scene, uint owner")                     \
    X(369, physx_add_actor_descriptor_shapes_to_actor, physics, "bool", "handle:PhysXActor actor, uint owner")         \
    X(370, physx_remove_actor_shapes, physics, "none", "handle:PhysXActor actor")                                      \
    X(371, physx_add_actor_force, physics, "none", "handle:PhysXActor actor, vector force, uint mode")                 \
    X(372, physx_add_actor_force_at_position, physics, "none",                                                         \
      "handle:PhysXActor actor, vector position, vector force, uint mode")                                             \
    X(373, physx_add_actor_torque, physics, "none", "handle:PhysXActor actor, vector torque, uint mode")               \
    X(374, physx_create_cloth, physics, "bool", "handle:PhysXCloth cloth, uint scene, uint owner")                     \
    X(375, physx_add_cloth_force_at_position, physics, "none",                                                         \
      "handle:PhysXCloth cloth, vector position, float magnitude, float radius, uint mode")                            \
    X(376, physx_create_controller, physics, "bool",                                                                   \
      "handle:PhysXController controller, uint scene, uint owner, float density, uint material, uint group")           \
    X(377, physx_move_controller, physics, "uint",                                                                     \
      "handle:PhysXController controller, uint active_groups, vector target")                                          \
    X(378, physx_create_joint, physics, "bool", "handle:PhysXJoint joint, uint owner")                                 \
    X(379, physx_set_joint_linear_motions, physics, "none", "handle:PhysXJoint joint, uint x, uint y, uint z")         \
    X(380, physx_set_joint_angular_motions, physics, "none",                                                           \
      "handle:PhysXJoint joint, uint swing1, uint swing2, uint twist")                                                 \
    X(381, physx_set_joint_position_drives, physics, "none", "handle:PhysXJoint joint, bool linear, bool angular")     \
    X(382, physx_set_joint_drive_spring_and_damping, physics, "none",                                                  \
      "handle:PhysXJoint joint, float spring, float damping")                                                          \
    X(383, physx_set_joint_velocity_drives, physics, "none", "handle:PhysXJoint joint, bool linear, bool angular")     \
    X(384, physx_set_joint_drive_force_limit, physics, "none", "handle:PhysXJoint joint, float force_limit")           \
    X(385, physx_set_joint_slerp_drive, physics, "none", "handle:PhysXJoint joint, bool on")                           \
    X(386, unused_386, physics, "int", "")                                                                             \
    X(387, unused_387, physics, "int", "")                                                                             \
    X(388, unused_388, physics, "int", "")                                                                             \
    X(389, physx_get_gravity, physics, "vector", "")                                                                   \
    X(390, physx_set_gravity, physics, "none", "vector gravity")                                                       \
    X(391, physx_get_group_collision_flag, physics, "bool", "uint group_a, uint group_b")                              \
    X(392, physx_set_group_collision_flag, physics, "none", "uint group_a, uint group_b, bool enabled")                \
    X(393, physx_raycast_actor_shape, physics, "bool",                                                                 \
      "handle:any result, handle:PhysXActor actor, uint shape_index, vector origin, vector direction, "                \
      "float maximum_distance, uint hint_flags")                                                                       \
    X(394, physx_raycast_closest_shape, physics, "bool",                                                               \
      "handle:any result, uint scene, vector origin, vector direction, float maximum_distance, uint shapes_type, "     \
      "uint groups, uint hint_flags, bool exact_shape")                                                                \
    X(395, physx_raycast_all_shapes, physics, "uint",                                                                  \
      "handle:Array result, uint scene, vector origin, vector direction, float maximum_distance, uint shapes_type, "   \
      "uint groups, uint hint_flags, bool exact_shape")                                                                \
    X(396, physx_overlap_sphere_actors, physics, "uint",                                                               \
      "handle:Array result, uint scene, float radius, vector centre, uint shapes_type, uint groups, bool accurate")    \
    X(397, physx_overlap_box_actors, physics, "uint",                                                                  \
      "handle:Array result, uint scene, vector half_extents, vector centre, uint shapes_type, uint groups, "           \
      "bool accurate")                                                                                                 \
    X(398, physx_overlap_oriented_box_actors, physics, "uint",                                                         \
      "handle:Array result, uint scene, vector half_extents, vector centre, quaternion orientation, "                  \
      "uint shapes_type, uint groups, bool accurate")                                                                  \
    X(399, physx_overlap_capsule_actors, physics, "uint",                                                              \
      "handle:Array result, uint scene, float radius, float height, vector centre, quaternion orientation, "           \
      "uint shapes_type, uint groups, bool accurate")                                                                  \
    X(400, physx_get_visualization_parameter, physics, "float", "uint parameter")                                      \
    X(401, physx_set_visualization_parameter, physics, "bool", "uint parameter, float value")                          \
    X(402, physx_get_simulation_time, physics, "uint", "")                                                             \
    X(403, physx_get_interpolation_factor, physics, "float", "")                                                       \
    X(404, physx_set_interpolation_factor, physics, "none", "float factor")                                            \
    X(405, physx_step_main_scene, physics, "none", "")                                                                 \
    X(406, flush_simulation_scene_caches, physics, "none", "")                                                         \
    X(407, physx_step_secondary_scene, physics, "none", "")                                                            \
    X(408, physx_is_secondary_scene_asynchronous, physics, "bool", "")                                                 \
    X(409, physx_set_secondary_scene_asynchronous, physics, "none", "bool on")                                         \
    X(410, physx_get_resource_object_type, physics, "uint", "uint resource_id")                                        \
    X(411, physx_get_mesh_resource_value, physics, "uint", "uint mesh_number")                                         \
    X(412, physx_acquire_actor_descriptor, physics, "uint", "")                                                        \
    X(413, physx_release_actor_descriptor, physics, "none", "uint owner")                                              \
    X(414, physx_set_actor_descriptor_position, physics, "none", "uint owner, vector position")                        \
    X(415, physx_set_actor_descriptor_orientation, physics, "none", "uint owner, quaternion orientation")              \
    X(416, physx_set_actor_descriptor_dynamic, physics, "none", "uint owner, bool dynamic")                            \
    X(417, physx_set_actor_descriptor_collision_enabled, physics, "none", "uint owner, bool enabled")                  \
    X(418, physx_set_actor_descriptor_response_enabled, physics, "none", "uint owner, bool enabled")                   \
    X(419, physx_set_actor_descriptor_gravity_enabled, physics, "none", "uint owner, bool enabled")                    \
    X(420, physx_set_actor_descriptor_linear_damping, physics, "none", "uint owner, float damping")                    \
    X(421, physx_set_actor_descriptor_angular_damping, physics, "none", "uint owner, float damping")                   \
    X(422, physx_set_actor_descriptor_solver_iteration_count, physics, "none", "uint owner, uint count")               \
    X(423, physx_set_actor_descriptor_contact_modification, physics, "none", "uint owner, bool enabled")               \
    X(424, physx_add_actor_descriptor_plane, physics, "none",                                                          \
      "uint owner, uint material, uint group, vector position, quaternion orientation, float scale")                   \
    X(425, physx_add_actor_descriptor_sphere, physics, "none",                                                         \
      "uint owner, float radius, float density, uint material, uint group, vector position, "                          \
      "quaternion orientation, float scale")                                                                           \
    X(426, physx_add_actor_descriptor_box, physics, "none",                                                            \
      "uint owner, vector half_extents, float density, uint material, uint group, vector position, "                   \
      "quaternion orientation, float scale")                                                                           \
    X(427, physx_add_actor_descriptor_capsule, physics, "none",                                                        \
      "uint owner, float radius, float height, float density, uint material, uint group, vector position, "            \
      "quaternion orientation, float scale")                                                                           \
    X(428, physx_add_actor_descriptor_convex_mesh, physics, "none",                                                    \
      "uint owner, uint resource_id, uint entry_index, float density, uint material, uint group, vector position, "    \
      "quaternion orientation, float scale")                                                                           \
    X(429, physx_add_actor_descriptor_triangle_mesh, physics, "none",                                                  \
      "uint owner, uint resource_id, uint entry_index, float density, uint material, uint group, vector position, "    \
      "quaternion orientation, float scale")                                                                           \
    X(430, physx_add_actor_descriptor_selected_resource_shapes, physics, "none",                                       \
      "uint owner, uint resource_id, handle:Array selection, float density, uint material, uint group, "               \
      "vector position, quaternion orientation, float scale")                                                          \
    X(431, physx_add_actor_descriptor_resource_shapes, physics, "none",                                                \
      "uint owner, uint resource_id, float density, uint material, uint group, vector position, "                      \
      "quaternion orientation, float scale")                                                                           \
    X(432, get_actor_shape_count, physics, "uint", "uint resource_id")                                                 \
    X(433, physx_cache_actor_resource, physics, "none", "uint resource_id, float scale")                               \
    X(434, physx_cache_all_resources, physics, "none", "")                                                             \
    X(435, physx_acquire_joint_descriptor, physics, "uint", "")                                                        \
    X(436, physx_release_joint_descriptor, physics, "none", "uint owner")                                              \
    X(437, physx_set_joint_descriptor_first_actor, physics, "none", "uint owner, handle:PhysXActor actor")             \
    X(438, physx_set_joint_descriptor_second_actor, physics, "none", "uint owner, handle:PhysXActor actor")            \
    X(439, physx_set_joint_descriptor_local_anchor, physics, "none", "uint owner, uint which, vector anchor")          \
    X(440, physx_set_joint_descriptor_local_axis, physics, "none",                                                     \
      "uint owner, uint which, vector axis, vector normal")                                                            \
    X(441, physx_set_joint_descriptor_max_force, physics, "none", "uint owner, float force")                           \
    X(442, physx_set_joint_descriptor_max_force_twin, physics, "none", "uint owner, float force")                      \
    X(443, physx_set_joint_descriptor_slerp_drive, physics, "none", "uint owner, bool on")                             \
    X(444, physx_set_joint_descriptor_x_motion, physics, "none", "uint owner, uint motion")                            \
    X(445, physx_set_joint_descriptor_y_motion, physics, "none", "uint owner, uint motion")                            \
    X(446, physx_set_joint_descriptor_z_motion, physics, "none", "uint owner, uint motion")                            \
    X(447, physx_set_joint_descriptor_swing1_motion, physics, "none", "uint owner, uint motion")                       \
    X(448, physx_set_joint_descriptor_swing2_motion, physics, "none", "uint owner, uint motion")                       \
    X(449, physx_set_joint_descriptor_twist_motion, physics, "none", "uint owner, uint motion")                        \
    X(450, physx_set_joint_descriptor_linear_limit, physics, "none",                                                   \
      "uint owner, float value, float restitution, float spring, float damping")                                       \
    X(451, physx_set_joint_descriptor_swing1_limit, physics, "none",                                                   \
      "uint owner, float angle, float restitution, float spring, float damping")                                       \
    X(452, physx_set_joint_descriptor_swing2_limit, physics, "none",                                                   \
      "uint owner, float angle, float restitution, float spring, float damping")                                       \
    X(453, physx_set_joint_descriptor_twist_low_limit, physics, "none",                                                \
      "uint owner, float angle, float restitution, float spring, float damping")                                       \
    X(454, physx_set_joint_descriptor_twist_high_limit, physics, "none",                                               \
      "uint owner, float angle, float restitution, float spring, float damping")                                       \
    X(455, physx_enable_joint_descriptor_x_position_drive, physics, "none", "uint owner, float spring, float damping") \
    X(456, physx_disable_joint_descriptor_x_position_drive, physics, "none", "uint owner")                             \
    X(457, physx_enable_joint_descriptor_x_velocity_drive, physics, "none", "uint owner, float force_limit")           \
    X(458, physx_disable_joint_descriptor_x_velocity_drive, physics, "none", "uint owner")                             \
    X(459, physx_enable_joint_descriptor_y_position_drive, physics, "none", "uint owner, float spring, float damping") \
    X(460, physx_disable_joint_descriptor_y_position_drive, physics, "none", "uint owner")                             \
    X(461, physx_enable_joint_descriptor_y_velocity_drive, physics, "none", "uint owner, float force_limit")           \
    X(462, physx_disable_joint_descriptor_y_velocity_drive, physics, "none", "uint owner")                             \
    X(463, physx_enable_joint_descriptor_z_position_drive, physics, "none", "uint owner, float spring, float damping") \
    X(464, physx_disable_joint_descriptor_z_position_drive, physics, "none", "uint owner")                             \
    X(465, physx_enable_joint_descriptor_z_velocity_drive, physics, "none", "uint owner, float force_limit")           \
    X(466, physx_disable_joint_descriptor_z_velocity_drive, physics, "none", "uint owner")                             \
    X(467, physx_enable_joint_descriptor_swing_position_drive, physics, "none",                                        \
      "uint owner, float spring, float damping")                                                                       \
    X(468, physx_disable_joint_descriptor_swing_position_drive, physics, "none", "uint owner")                         \
    X(469, physx_enable_joint_descriptor_swing_velocity_drive, physics, "none", "uint owner, float force_limit")       \
    X(470, physx_disable_joint_descriptor_swing_velocity_drive, physics, "none", "uint owner")                         \
    X(471, physx_enable_joint_descriptor_twist_position_drive, physics, "none",                                        \
      "uint owner, float spring, float damping")                                                                       \
    X(472, physx_disable_joint_descriptor_twist_position_drive, physics, "none", "uint owner")                         \
    X(473, physx_enable_joint_descriptor_twist_velocity_drive, physics, "none", "uint owner, float force_limit")       \
    X(474, physx_disable_joint_descriptor_twist_velocity_drive, physics, "none", "uint owner")                         \
    X(475, physx_enable_joint_descriptor_slerp_position_drive, physics, "none",                                        \
      "uint owner, float spring, float damping")                                                                       \
    X(476, physx_disable_joint_descriptor_slerp_position_drive, physics, "none", "uint owner")                         \
    X(477, physx_enable_joint_descriptor_slerp_velocity_drive, physics, "none", "uint owner, float force_limit")       \
    X(478, physx_disable_joint_descriptor_slerp_velocity_drive, physics, "none", "uint owner")                         \
    X(479, physx_set_joint_descriptor_slerp_drive_twin, physics, "none", "uint owner, bool on")                        \
    X(480, physx_enable_joint_descriptor_projection, physics, "none", "uint owner, float distance, float angle")       \
    X(481, physx_disable_joint_descriptor_projection, physics, "none", "uint owner")                                   \
    X(482, physx_enable_joint_descriptor_gear, physics, "none", "uint owner, float ratio")                             \
    X(483, physx_disable_joint_descriptor_gear, physics, "none", "uint owner")                                         \
    X(484, physx_acquire_controller_descriptor, physics, "uint", "")                                                   \
    X(485, physx_release_controller_descriptor, physics, "none", "uint owner")                                         \
    X(486, physx_set_controller_descriptor_radius, physics, "none", "uint owner, float radius")                        \
    X(487, physx_set_controller_descriptor_height, physics, "none", "uint owner, float height")                        \
    X(488, physx_set_controller_descriptor_up_axis, physics, "none", "uint owner, uint axis")                          \
    X(489, physx_set_controller_descriptor_step_offset, physics, "none", "uint owner, float offset")                   \
    X(490, physx_set_controller_descriptor_slope_limit, physics, "none", "uint owner, float fraction")                 \
    X(491, physx_set_controller_descriptor_interaction, physics, "none", "uint owner, uint flag")                      \
    X(492, physx_acquire_cloth_descriptor, physics, "uint", "")                                                        \
    X(493, physx_release_cloth_descriptor, physics, "none", "uint owner")                                              \
    X(494, physx_set_cloth_descriptor_mesh, physics, "none", "uint owner, uint resource_id, uint entry_index")         \
    X(495, physx_set_cloth_descriptor_position, physics, "none", "uint owner, vector position")                        \
    X(496, physx_set_cloth_descriptor_orientation, physics, "none", "uint owner, quaternion orientation")              \
    X(497, physx_set_cloth_descriptor_thickness, physics, "none", "uint owner, float value")                           \
    X(498, physx_set_cloth_descriptor_density, physics, "none", "uint owner, float value")                             \
    X(499, physx_set_cloth_descriptor_bending, physics, "none", "uint owner, bool on")                                 \
    X(500, physx_set_cloth_descriptor_orthogonal_bending, physics, "none", "uint owner, bool on")                      \
    X(501, physx_set_cloth_descriptor_bending_stiffness, physics, "none", "uint owner, float value")                   \
    X(502, physx_set_cloth_descriptor_stretching_stiffness, physics, "none", "uint owner, float value")                \
    X(503, physx_set_cloth_descriptor_damping, physics, "none", "uint owner, bool on")                                 \
    X(504, physx_set_cloth_descriptor_center_of_mass_damping, physics, "none", "uint owner, bool on")                  \
    X(505, physx_set_cloth_descriptor_damping_coefficient, physics, "none", "uint owner, float value")                 \
    X(506, physx_set_cloth_descriptor_friction, physics, "none", "uint owner, float value")                            \
    X(507, physx_set_cloth_descriptor_pressure_enabled, physics, "none", "uint owner, bool on")                        \
    X(508, physx_set_cloth_descriptor_pressure, physics, "none", "uint owner, float value")                            \
    X(509, physx_set_cloth_descriptor_tearable, physics, "none", "uint owner, bool on")                                \
    X(510, physx_set_cloth_descriptor_tear_factor, physics, "none", "uint owner, float value")                         \
    X(511, physx_set_cloth_descriptor_two_way_collision, physics, "none", "uint owner, bool on")                       \
    X(512, physx_set_cloth_descriptor_collision_response_coefficient, physics, "none", "uint owner, float value")      \
    X(513, physx_set_cloth_descriptor_attachment_response_coefficient, physics, "none", "uint owner, float value")     \
    X(514, physx_set_cloth_descriptor_static, physics, "none", "uint owner, bool on")                                  \
    X(515, physx_set_cloth_descriptor_attachment_tear_factor, physics, "none", "uint owner, float value")              \
    X(516, physx_set_cloth_descriptor_solver_iterations, physics, "none", "uint owner, uint count")                    \
    X(517, physx_set_cloth_descriptor_external_acceleration, physics, "none", "uint owner, vector acceleration")       \
    X(518, physx_set_cloth_descriptor_sleep_linear_velocity, physics, "none", "uint owner, float value")               \
    X(519, physx_set_cloth_descriptor_collision_group, physics, "none", "uint owner, uint group")                      \
    X(520, physx_set_cloth_descriptor_valid_bounds_enabled, physics, "none", "uint owner, bool on")                    \
    X(521, physx_set_cloth_descriptor_valid_bounds, physics, "none", "uint owner, vector minimum, vector maximum")     \
    X(522, physx_set_cloth_descriptor_not_static, physics, "none", "uint owner, bool on")                              \
    X(523, physx_set_cloth_descriptor_not_pressurized, physics, "none", "uint owner, bool on")                         \
    X(524, physx_set_cloth_descriptor_self_collision, physics, "none", "uint owner, bool on")                          \
    X(525, physx_set_cloth_descriptor_gravity_enabled, physics, "none", "uint owner, bool on")                         \
    X(526, physx_clear_resource_instances, physics, "bool", "")                                                        \
    X(527, physx_reset_world, physics, "bool", "")                                                                     \
    X(528, physx_set_event_reporting, physics, "none", "bool on")                                                      \
    X(529, set_playback_time, placements, "uint", "uint time")                                                         \
    X(530, set_record_time, placements, "uint", "uint time")                                                           \
    X(531, drop_keyframes_before, placements, "none", "uint time")                                                     \
    X(532, drop_placement_keyframes_before, placements, "none", "handle:Placement placement, uint time")               \
    X(533, drop_placement_keyframes_after, placements, "none", "handle:Placement placement, uint time")                \
    X(534, drop_all_keyframes, placements, "none", "")                                                                 \
    X(535, drop_placement_keyframes, placements, "none", "handle:Placement placement")                                 \
    X(536, find_skeleton_bone, skeletons, "uint", "handle:Skeleton skeleton, uint key")                                \
    X(537, find_skeleton_factor, skeletons, "uint", "handle:Skeleton skeleton, uint key")                              \
    X(538, get_skeleton_channel_parent, skeletons, "uint", "handle:Skeleton skeleton, uint channel")                   \
    X(539, get_skeleton_channel_kind, skeletons, "uint", "handle:Skeleton skeleton, uint channel")                     \
    X(540, get_skeleton_channel_attribute, skeletons, "uint", "handle:Skeleton skeleton, uint channel")                \
    X(541, get_skeleton_bone_rest_position, skeletons, "vector", "handle:Skeleton skeleton, uint bone")                \
    X(542, get_skeleton_bone_scaled_rest_position, skeletons, "vector", "handle:Skeleton skeleton, uint bone")         \
    X(543, get_skeleton_bone_rest_rotation, skeletons, "quaternion", "handle:Skeleton skeleton, uint bone")            \
    X(544, get_skeleton_channel_value, skeletons, "float", "handle:Skeleton skeleton, uint channel")                   \
    X(545, set_skeleton_channel_value, skeletons, "none", "handle:Skeleton skeleton, uint channel, float value")       \
    X(546, get_skeleton_bone_placement, skeletons, "handle:Placement", "handle:Skeleton skeleton, uint bone")          \
    X(547, get_skeleton_factor_value, skeletons, "float", "handle:Skeleton skeleton, uint factor")                     \
    X(548, find_skeleton_track_mixer, skeletons, "handle:TrackMixer", "handle:Skeleton skeleton, uint key")            \
    X(549, update_skeleton_pose, skeletons, "none", "handle:Skeleton skeleton")                                        \
    X(550, update_skeleton_to_time, skeletons, "none", "handle:Skeleton skeleton, uint time")                          \
    X(551, advance_skeleton, skeletons, "none", "handle:Skeleton skeleton, uint delta")                                \
    X(552, get_skeleton_delay_to_next_event, skeletons, "int", "handle:Skeleton skeleton")                             \
    X(553, get_skeleton_bounding_sphere, skeletons, "vector4", "handle:Skeleton skeleton")                             \
    X(554, get_skeleton_bounds_minimum, skeletons, "vector", "handle:Skeleton skeleton")                               \
    X(555, get_skeleton_bounds_maximum, skeletons, "vector", "handle:Skeleton skeleton")                               \
    X(556, invalidate_skeleton_bounds, skeletons, "none", "handle:Skeleton skeleton")                                  \
    X(557, set_skeleton_group_time_scale, skeletons, "none", "uint mask, float scale")                                 \
    X(558, update_skeleton_group_to_time, skeletons, "none", "uint mask, uint time")                                   \
    X(559, advance_skeleton_group, skeletons, "none", "uint mask, uint delta")                                         \
    X(560, update_skeleton_group_pose, skeletons, "none", "uint mask")                                                 \
    X(561, set_track_mixer_animation, track_mixers, "none", "handle:TrackMixer mixer, uint resource_id, bool loop")    \
    X(562, set_track_mixer_fixed_animation, track_mixers, "none", "handle:TrackMixer mixer, uint resource_id")         \
    X(563, sync_animator_position, animators, "none", "handle:Animator target, handle:Animator source")                \
    X(564, set_debug_draw_mask, debug_draw, "none", "uint mask")                                                       \
    X(565, get_debug_draw_mask, debug_draw, "uint", "")                                                                \
    X(566, font_has_character, interface, "bool", "handle:Font font, uint unit")                                       \
    X(567, get_text_line_offset, interface, "uint", "handle:Text text, uint line")                                     \
    X(568, get_text_line_length, interface, "uint", "handle:Text text, uint line")                                     \
    X(569, unused_569, stubs, "int", "")                                                                               \
    X(570, set_late_frame_dropping, frame_pacing, "none", "bool enabled")                                              \
    X(571, project_to_screen, frame_buffer, "none", "")                                                                \
    X(572, set_global_light_direction, lights, "none", "vector direction")                                             \
    X(573, set_global_light_colour, lights, "none", "vector colour")                                                   \
    X(574, set_global_light_intensity, lights, "none", "float intensity")                                              \
    X(575, set_global_shadow_strength, lights, "none", "float strength")                                               \
    X(576, set_global_light_object, lights, "none", "handle:any object")                                               \
    X(577, set_global_light_vector_a, lights, "none", "vector4 value")                                                 \
    X(578, set_global_light_vector_b, lights, "none", "vector4 value")                                                 \
    X(579, get_global_light_direction, lights, "vector", "")                                                           \
    X(580, get_global_light_colour, lights, "vector", "")                                                              \
    X(581, get_global_light_intensity, lights, "float", "")                                                            \
    X(582, get_global_shadow_strength, lights, "float", "")                                                            \
    X(583, get_global_light_object, lights, "handle:any", "")                                                          \
    X(584, get_global_light_vector_a, lights, "vector4", "")                                                           \
    X(585, get_global_light_vector_b, lights, "vector4", "")                                                           \
    X(586, set_fake_shadow_time_step, lights, "none", "uint ticks")                                                    \
    X(587, find_sector_at_point, navigation, "handle:Sector", "vector point, handle:Sector hint")                      \
    X(588, find_loadable_area, navigation, "handle:LoadableArea", "uint area_number")                                  \
    X(589, get_sector_at_location, navigation, "handle:Sector", "uint location, handle:LoadableArea area")             \
    X(590, get_area_sector, navigation, "handle:Sector", "handle:LoadableArea area, uint record")                      \
    X(591, get_area_sector_count, navigation, "uint", "handle:LoadableArea area")                                      \
    X(592, show_loading_screen, loading_screen, "none", "uint picture, vector2 centre, vector2 size")                  \
    X(593, is_loading_screen_shown, loading_screen, "bool", "")                                                        \
    X(594, hide_loading_screen, loading_screen, "none", "")                                                            \
    X(595, get_mesh_lightmap, meshes, "handle:Texture", "handle:Mesh mesh")                                            \
    X(596, get_mesh_material, meshes, "handle:Material", "uint material_index, handle:Mesh mesh")                      \
    X(597, create_visuals_for_mesh_resources, meshes, "none", "handle:any owner, handle:any inherit_from")             \
    X(598, spawn_decal, decals, "none",                                                                                \
      "handle:Decal decal_set, vector position, quaternion rotation, uint group_mask, handle:PhysXActor actor")        \
    X(599, advance_decal_clock, decals, "none", "uint ticks")                                                          \
    X(600, spawn_decal_on_target, decals, "handle:Decal",                                                              \
      "handle:any target, vector position, quaternion rotation, uint group_mask, handle:Game description, "            \
      "bool use_shader_25, handle:PhysXActor actor")                                                                   \
    X(601, get_decal_triangle_flags, decals, "uint", "handle:Resource geometry, uint triangle")                        \
    X(602, advance_particle_generator, particles, "uint", "handle:ParticleGenerator generator, uint ticks")            \
    X(603, restart_particle_generator, particles, "none", "handle:ParticleGenerator generator")                        \
    X(604, advance_particle_generators, particles, "none", "uint ticks")                                               \
    X(605, find_neighbour_sector, navigation, "handle:Sector", "handle:Sector sector, vector position, float radius")  \
    X(606, get_material_vector, materials, "vector4", "handle:Material material, uint index")                          \
    X(607, set_material_vector, materials, "none", "handle:Material material, uint index, vector4 value")              \
    X(608, get_material_texture, materials, "uint", "handle:Material material, uint index")                            \
    X(609, set_material_texture, materials, "none", "handle:Material material, uint index, uint texture_id")           \
    X(610, get_material_constant_tag, materials, "uint", "handle:Material material, uint index")                       \
    X(611, set_material_constant_tag, materials, "none", "handle:Material material, uint index, uint tag")             \
    X(612, get_material_texture_tag, materials, "uint", "handle:Material material, uint index")                        \
    X(613, set_material_texture_tag, materials, "none", "handle:Material material, uint index, uint tag")              \
    X(614, set_shader_time, shader_library, "none", "uint ticks")                                                      \
    X(615, get_shader_time, shader_library, "uint", "")                                                                \
    X(616, get_global_texture, shader_library, "handle:Texture", "uint slot")                                          \
    X(617, set_global_texture, shader_library, "none", "uint slot, handle:Texture texture")                            \
    X(618, refresh_materials, material_server, "none", "handle:any object, uint flags")                                \
    X(619, reset_shader_programs, shader_library, "none", "")                                                          \
    X(620, reselect_material_shaders, material_server, "none", "")                                                     \
    X(621, set_shader_condition_flags, shader_library, "none", "uint flags")                                           \
    X(622, get_shader_condition_flags, shader_library, "uint", "")                                                     \
    X(623, warm_up_renderer, shader_library, "bool", "")                                                               \
    X(624, set_shader_debug_flags, shader_library, "none", "uint flags")                                               \
    X(625, get_shader_debug_flags, shader_library, "none", "")                                                         \
    X(626, reload_textures, shader_library, "none", "")                                                                \
    X(627, set_shader_script_word_0, shader_library, "none", "uint value")                                             \
    X(628, set_shader_script_word_1, shader_library, "none", "uint value")                                             \
    X(629, set_shader_script_word_2, shader_library, "none", "uint value")                                             \
    X(630, set_shader_script_word_3, shader_library, "none", "uint value")                                             \
    X(631, get_driver_quirk_flag, gpu_quirks, "bool", "")                                                              \
    X(632, reload_textures_twin, shader_library, "none", "")                                                           \
    X(633, collect_dead_textures, textures, "none", "")                                                                \
    X(634, create_resource_textures, textures, "none", "handle:any owner")                                             \
    X(635, set_texture_streaming, textures, "none", "bool enabled")                                                    \
    X(636, is_texture_streaming_pending, textures, "bool", "")                                                         \
    X(637, abandon_texture_streaming, textures, "none", "")                                                            \
    X(638, set_texture_owner, textures, "handle:any", "handle:any owner")                                              \
    X(639, get_texture_owner, textures, "handle:any", "")                                                              \
    X(640, get_video_memory_budget, textures, "uint", "")                                                              \
    X(641, get_viewport_texture, viewports, "handle:Texture", "uint slot, handle:Viewport viewport")                   \
    X(642, set_viewport_texture, viewports, "none", "handle:Texture texture, uint slot, handle:Viewport viewport")     \
    X(643, get_viewport_user_vector, viewports, "vector4", "uint index, handle:Viewport viewport")                     \
    X(644, get_viewport_user_float, viewports, "float", "uint index, handle:Viewport viewport")                        \
    X(645, set_viewport_user_vector, viewports, "none",                                                                \
      "float w, float z, float y, float x, uint index, handle:Viewport viewport")                                      \
    X(646, set_viewport_user_float, viewports, "none", "float x, uint index, handle:Viewport viewport")                \
    X(647, get_viewport_clear_color, viewports, "colour", "")                                                          \
    X(648, set_viewport_clear_color, viewports, "none", "colour colour")                                               \
    X(649, update_widgets, interface, "none", "")                                                                      \
    X(650, find_widget_at_point, interface, "handle:Widget", "handle:Widget widget, vector2 point")                    \
    X(651, get_display_size, window, "vector", "")                                                                     \
    X(652, get_display_reserved, window, "float", "")                                                                  \
    X(653, get_display_mode_count, window, "uint", "")                                                                 \
    X(654, get_display_mode, window, "vector", "int index")                                                            \
    X(655, set_display_mode, window, "bool", "int index")                                                              \
    X(656, get_display_mode_index, window, "int", "")                                                                  \
    X(657, set_gamma_immediately, window, "none", "float gamma, float brightness, float contrast")                     \
    X(658, detect_aura_intersections, navigation, "none", "")                                                          \
    X(659, cast_ray_against_aurae, navigation, "handle:Aura",                                                          \
      "vector origin, vector direction, float maximum_distance, uint category_mask")                                   \
    X(660, intersect_ray_with_sphere, navigation, "float",                                                             \
      "vector origin, vector direction, vector centre, float radius")                                                  \
    X(661, intersect_ray_with_box, navigation, "float",                                                                \
      "vector origin, vector direction, vector box_minimum, vector box_maximum")                                       \
    X(662, intersect_ray_with_cylinder, navigation, "float",                                                           \
      "vector origin, vector direction, vector centre, float radius, float half_height")                               \
    X(663, evaluate_function_table, function_tables, "float", "handle:FunctionTable table, float x")                   \
    X(664, advance_all_motions, motions, "none", "int elapsed")                                                        \
    X(665, set_default_bank_a, sound, "none", "uint bank")                                                             \
    X(666, get_default_bank_a, sound, "uint", "")                                                                      \
    X(667, set_default_bank_b, sound, "none", "uint bank")                                                             \
    X(668, get_default_bank_b, sound, "uint", "")                                                                      \
    X(669, set_category_volume, sound, "none", "uint category, float volume")                                          \
    X(670, get_category_volume, sound, "float", "uint category")                                                       \
    X(671, set_category_paused, sound, "none", "uint category, bool paused")                                           \
    X(672, is_category_paused, sound, "bool", "uint category")                                                         \
    X(673, release_unused_sounds, sound, "none", "")                                                                   \
    X(674, play_sound, sound, "none", "handle:SoundEntity entity")                                                     \
    X(675, stop_sound, sound, "none", "handle:SoundEntity entity, bool immediately")                                   \
    X(676, get_active_listener, sound, "handle:SoundListener", "")                                                     \
    X(677, is_sound_environment_enabled, sound, "bool", "")                                                            \
    X(678, set_sound_environment_enabled, sound, "none", "bool enabled")                                               \
    X(679, get_save_status, save_system, "uint", "")                                                                   \
    X(680, set_save_value, save_system, "none", "uint value")                                                          \
    X(681, get_save_value, save_system, "uint", "")                                                                    \
    X(682, clear_save_status, save_system, "int", "")                                                                  \
    X(683, drop_save_list, save_system, "none", "")                                                                    \
    X(684, unused_684, stubs, "int", "")                                                                               \
    X(685, unused_685, stubs, "int", "")                                                                               \
    X(686, refresh_save_list, save_system, "int", "bool force")                                                        \
    X(687, get_save_count, save_system, "uint", "")                                                                    \
    X(688, get_save_id, save_system, "uint", "uint index")                                                             \
    X(689, find_save_index, save_system, "uint", "uint save_id")                                                       \
    X(690, write_save_entry_properties, save_system, "none", "handle:Game game_object, uint index")                    \
    X(691, delete_save_at, save_system, "bool", "uint index")                                                          \
    X(692, delete_save, save_system, "bool", "uint save_id")                                                           \
    X(693, get_free_save_index, save_system, "uint", "uint save_number")                                               \
    X(694, resolve_handle, save_system, "none", "handle:any object")                                                   \
    X(695, write_storage_file, save_system, "bool", "uint save_id")                                                    \
    X(696, store_storage_object, save_system, "none", "handle:Storage storage")                                        \
    X(697, restore_storage_object, save_system, "bool", "handle:Storage storage, uint index")                          \
    X(698, resolve_handle_twin, save_system, "none", "handle:any object")                                              \
    X(699, check_handle, save_system, "int", "handle:any object")                                                      \
    X(700, save_to_profile, save_system, "bool", "handle:Array array")                                                 \
    X(701, load_from_profile, save_system, "int", "handle:Array array")

// clang-format on
enum class BuiltinKind : uint8_t {
#define ZOLT_BUILTIN_KIND_ENUM(kind, words, spelling) kind,
    ZOLT_BUILTIN_KIND_LIST(ZOLT_BUILTIN_KIND_ENUM)
#undef ZOLT_BUILTIN_KIND_ENUM
};

enum class BuiltinFamily : uint8_t {
#define ZOLT_BUILTIN_FAMILY_ENUM(family) family,
    ZOLT_BUILTIN_FAMILY_LIST(ZOLT_BUILTIN_FAMILY_ENUM)
#undef ZOLT_BUILTIN_FAMILY_ENUM
};

// Names are unique because they are the enumerators.
enum class BuiltinId : uint16_t {
#define ZOLT_BUILTIN_ENUM(id, name, family, result, arguments) name = id,
    ZOLT_BUILTIN_LIST(ZOLT_BUILTIN_ENUM)
#undef ZOLT_BUILTIN_ENUM
};

struct BuiltinKindInfo {
    std::string_view spelling;
    uint32_t words;
};

inline constexpr BuiltinKindInfo builtin_kinds[] = {
#define ZOLT_BUILTIN_KIND_ROW(kind, words, spelling) {spelling, words},
    ZOLT_BUILTIN_KIND_LIST(ZOLT_BUILTIN_KIND_ROW)
#undef ZOLT_BUILTIN_KIND_ROW
};

inline constexpr std::string_view builtin_family_names[] = {
#define ZOLT_BUILTIN_FAMILY_ROW(family) #family,
    ZOLT_BUILTIN_FAMILY_LIST(ZOLT_BUILTIN_FAMILY_ROW)
#undef ZOLT_BUILTIN_FAMILY_ROW
};

constexpr uint32_t builtin_kind_count = sizeof builtin_kinds / sizeof builtin_kinds[0];

constexpr bool find_builtin_kind(std::string_view spelling, BuiltinKind* kind) {
    for (uint32_t index = 0; index < builtin_kind_count; ++index) {
        if (builtin_kinds[index].spelling == spelling) {
            *kind = static_cast<BuiltinKind>(index);
            return true;
        }
    }
    return false;
}

// builtin_kind_count for a spelling no kind has.
constexpr BuiltinKind parse_builtin_kind(std::string_view spelling) {
    BuiltinKind kind{};
    return find_builtin_kind(spelling, &kind) ? kind : static_cast<BuiltinKind>(builtin_kind_count);
}

struct BuiltinRow {
    uint32_t id;
    std::string_view name;
    BuiltinKind result;
    BuiltinFamily family;
    std::string_view arguments;
};

// builtin_rows[id - 1]
inline constexpr BuiltinRow builtin_rows[] = {
#define ZOLT_BUILTIN_ROW(id, name, family, result, arguments) \
    {id, #name, parse_builtin_kind(result), BuiltinFamily::family, arguments},
    ZOLT_BUILTIN_LIST(ZOLT_BUILTIN_ROW)
#undef ZOLT_BUILTIN_ROW
};
static_assert(sizeof builtin_rows / sizeof builtin_rows[0] == last_builtin_id);

constexpr const BuiltinRow* find_builtin_row(uint32_t id) {
    return id - 1 < last_builtin_id ? &builtin_rows[id - 1] : nullptr;
}

constexpr const BuiltinRow& get_builtin_row(BuiltinId id) {
    return builtin_rows[static_cast<uint32_t>(id) - 1];
}

// Null for a name no row has.
const BuiltinRow* find_builtin_row_by_name(std::string_view name);

constexpr uint32_t max_builtin_arguments = 12;

// A row's arguments as kinds, top first; valid is false for a list that
// names an unknown kind or has too many arguments.
struct BuiltinSignature {
    BuiltinKind kinds[max_builtin_arguments] = {};
    uint32_t count = 0;
    bool valid = true;
};

// "kind name, kind name": each argument's first word is its kind.
constexpr BuiltinSignature parse_builtin_arguments(std::string_view arguments) {
    BuiltinSignature signature;
    while (!arguments.empty()) {
        const size_t comma = arguments.find(',');
        std::string_view argument = arguments.substr(0, comma);
        arguments = comma == std::string_view::npos ? std::string_view{} : arguments.substr(comma + 1);
        while (!argument.empty() && argument.front() == ' ') {
            argument.remove_prefix(1);
        }
        const std::string_view kind_name = argument.substr(0, argument.find(' '));
        BuiltinKind kind{};
        if (signature.count == max_builtin_arguments || !find_builtin_kind(kind_name, &kind) ||
            kind == BuiltinKind::none) {
            signature.valid = false;
            return signature;
        }
        signature.kinds[signature.count++] = kind;
    }
    return signature;
}

}  // namespace zolt::core
