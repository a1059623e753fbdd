#pragma once
#include <cstdint>

#include "core/Hook.h"

// Draws the active scene. The static part of a scene (background, elements, lighting) is composed
// once per scene switch into a scene-sized picture and uploaded into a layer surface; each frame
// blits the layers and then the items, sorted by nSort, with their current animation frames.

struct SDL_Surface;
class Bitmap;
class ConfigDoc;
class Level;
class SurfaceRegistry;
class VariableHolder;

namespace Renderer {

// Switches, reflected as Bool variables of class "Renderer" (see Variables()).
extern uint8_t bMmxEnable;              // stored and reflected only
extern uint8_t bRenderInvisible;        // draw invisible elements (half opacity) and items too
extern uint8_t bRenderLightSources;     // compose the pictures of lights into the scene
extern uint8_t bRenderObstaclesMap;     // stored and reflected only
extern uint8_t bLogRenderTime;          // log each composition's time
extern uint8_t bRenderSoftwareLightMap; // multiply the scene picture by the static light buffer
extern uint8_t bRenderPoly;             // draw the scene's polygons as lines

// Light cell sizes in pixels (main layer 4, back layer 2).
extern uint32_t mainLightCellSize;
extern uint32_t backLightCellSize;

// Stores the screen size, checks/loads the default font, makes the text bitmap and the renderer's
// own surfaces. False (with a log line) on failure.
[[nodiscard]] bool Init(uint32_t screenWidth, uint32_t screenHeight, ConfigDoc& settings);
// Rebuilds the layers for the given scene (nullptr: nothing happens).
void OnSceneChanged(Level* scene);
// Back layer (parallax scenes only) and main layer, each over the whole screen.
void DrawScene(SDL_Surface* backBuffer);
// Items of the active scene, sorted by nSort (stable), each with its current frame.
void DrawItems(SDL_Surface* backBuffer);
// The picture cache: the named surface of the registry, built from the library's animated GIF
// of that name when missing. nullptr when neither exists.
SDL_Surface* GetPicture(const char* name);
// Fullscreen only: the "kursor" picture at the mouse position.
void DrawCursor(SDL_Surface* backBuffer);
// Frees the light buffer and every surface of the registry (shut-down).
void ReleaseSurfaces();

// The renderer's registry of named surfaces (layer surfaces, text cache, "fps", "kursor", sheets).
SurfaceRegistry& Surfaces();
// Creates a named surface in the renderer's registry (frame sheets, text cache).
SDL_Surface* CreateSurface(const char* name, uint32_t width, uint32_t height);
// 128 x 64, 32 bits per pixel scratch picture for small texts (the FPS display).
Bitmap& TextBitmap();
uint32_t ScreenWidth();
uint32_t ScreenHeight();

// Reflection of the switches, class name "Renderer".
VariableHolder& Variables();

// What the renderer takes from the modules above it.
struct Hooks {
    // Loads the default font from its path at the given pixel size (the text module).
    Hook<bool(const char* path, uint32_t pixelSize)> loadDefaultFont{"Renderer.loadDefaultFont"};
    // Whether the key with this scan code is held (0x14 hides the items; input).
    Hook<bool(uint32_t scanCode)> keyDown{"Renderer.keyDown"};
    // Mouse position in layout co-ordinates (the cursor is drawn in fullscreen mode; input).
    Hook<bool(int32_t& x, int32_t& y)> cursorPosition{"Renderer.cursorPosition"};
};
void SetHooks(const Hooks& hooks);

// Fills the scene module's hooks with this module's functions: a scene switch reaches
// OnSceneChanged, and item templates take their pictures from Animation::GetFrameImage. Called by
// `App::ConnectModules`, and by the tools, benchmarks and tests that draw scenes without the app.
void ConnectScene();

// Path of the default font.
inline constexpr const char* kDefaultFontPath = "Data\\Library\\Font\\Tahoma.ttf";
inline constexpr uint32_t kDefaultFontSize = 16;
// Widest and tallest scene the renderer composes (the game's scenes are 800 x 600); larger ones
// are refused with a log line and draw nothing.
inline constexpr uint32_t kMaxSceneSide = 2048;

} // namespace Renderer
