#pragma once

// Exit statuses of the whole program.
inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_FAILED = 1;
inline constexpr int EXIT_NOT_PERMITTED = 2;
inline constexpr int EXIT_NOT_FOUND = 3;
inline constexpr int EXIT_NOT_IN_LIST = 4;
inline constexpr int EXIT_NO_LIST = 5;
inline constexpr int EXIT_USAGE = 64;
