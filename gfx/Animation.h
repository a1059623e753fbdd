#pragma once
#include <cstdint>

#include "picture/AnimationState.h"

// Frame animations: named sets of actions whose frames come from animated GIFs of the object
// library (group "AniGifs") and whose pace is given by a small script. Every animated object
// embeds an AnimationState and hands it to Play / GetFrame.

struct SDL_Surface;
class Bitmap;

namespace Animation {

// Reads every "ani" file the file layer offers under "data", in the order offered. Returns true.
[[nodiscard]] bool LoadAll();
// Writes the animations back when the save-library switch is on, then destroys them all
// (frame sheet surfaces included).
void ReleaseAll();

// Starts or continues an action and advances the state to the present. nullptr names mean
// "the state's own index". Names are compared ignoring letter case.
void Play(const char* animation, const char* action, AnimationState& state);

// False when the state has no animation or action. Otherwise advances the state and, when the
// current frame exists, writes the frame sheet and the frame's rectangle; callers set *surface to
// nullptr beforehand and draw nothing when it stays nullptr.
bool GetFrame(AnimationState& state, SDL_Surface*& surface, FrameRect& rect);

// Copies frame `frame` of the named action (names compared exactly) from the object library into
// `out` (32 bits per pixel). False when the action or the frame does not exist.
[[nodiscard]] bool GetFrameImage(const char* animation, const char* action, uint32_t frame, Bitmap& out);

// Reads one animation file (configuration syntax). False when the file was skipped.
[[nodiscard]] bool ReadFile(const char* path);
// Writes every animation to "<working dir>Data\Library\Animation\<name>.ani"; stops at the first
// file that cannot be created. Returns false then.
[[nodiscard]] bool WriteAll();

// Number of loaded animations (registry order is load order).
int32_t Count();

// The animations-frozen flag: while set, time passes without advancing any animation.
void SetFrozen(bool frozen);
bool IsFrozen();

// The save-library switch (shared with the object library): write the files back on release.
void SetSaveLibrary(bool on);
[[nodiscard]] bool SaveLibrary();

// Folder in front of "Data\Library\Animation\" when writing (ends with a separator; empty means
// the current directory). Set by start-up to the working directory.
void SetWorkingDirectory(const char* dir);

} // namespace Animation
