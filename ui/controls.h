#pragma once
// Control ids of the upload dialog.

namespace wharfling::control {

inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kFileList = 201;
inline constexpr int kTargetDir = 202;
inline constexpr int kBrowse = 203;
inline constexpr int kCopy = 204;
inline constexpr int kMove = 205;
inline constexpr int kProgress = 206;
inline constexpr int kMakerLabel = 208;
inline constexpr int kDestination = 1000;
inline constexpr int kPagePane = 1006;
inline constexpr int kHeaderPane = 1010;
inline constexpr int kId = 1017;
inline constexpr int kPassword = 1018;

}  // namespace wharfling::control
