#pragma once

// Kelvo's name on the desktop: the D-Bus bus name, object path and
// interface of the running instance, and the file names of the desktop
// entry, the AppStream metadata and the icon all derive from it.
namespace kelvo::appid {

inline constexpr char kId[] = "io.github.kelvo.Kelvo";
inline constexpr char kObjectPath[] = "/io/github/kelvo/Kelvo";
inline constexpr char kInterface[] = "io.github.kelvo.Kelvo";
inline constexpr char kErrorNoSuchEntry[] = "io.github.kelvo.Kelvo.Error.NoSuchEntry";
inline constexpr char kErrorNoSuchFormat[] = "io.github.kelvo.Kelvo.Error.NoSuchFormat";
inline constexpr char kErrorInvalidArgs[] = "io.github.kelvo.Kelvo.Error.InvalidArgs";
inline constexpr char kErrorUnreadable[] = "io.github.kelvo.Kelvo.Error.Unreadable";
inline constexpr char kErrorNotWritten[] = "io.github.kelvo.Kelvo.Error.NotWritten";

} // namespace kelvo::appid
