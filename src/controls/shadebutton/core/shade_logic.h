#pragma once
// Decisions of the shade button that need no window: the fade arithmetic, the
// face changes the mouse asks for, the nine-slice pieces and the skin colours.
#include <array>
#include <cstdint>
#include <optional>

namespace varnu::shade {

enum FaceState : std::int32_t { kNormal = 0, kHot = 1, kPressed = 2, kDefault = 3, kSettled = 4 };

inline constexpr std::int32_t kDefaultSpeed = 20;
// The way back to the normal or default face always takes 51 steps of 5.
inline constexpr std::int16_t kReturnStep = 5;
inline constexpr int kOpaque = 255;

// Which colour the caption takes during a fade.
enum class CaptionColour { Fore, Hot, Pressed };

struct FadeTick {
    bool draw = false;  // blend face `face` at `alpha`
    int face = kNormal;
    int alpha = 0;
    bool settle = false;  // the blend was the last: keep the picture, state settled
    CaptionColour caption = CaptionColour::Fore;
};

// One timer tick: advances `level` and says what to draw. A settled button
// does nothing. Levels are kept within 16 bits: a huge Speed still settles.
FadeTick AdvanceFade(std::int32_t& state, std::int16_t& level, std::int32_t speed) noexcept;

// The fade a mouse event starts; empty keeps the present face.
struct MouseOutcome {
    std::optional<std::int32_t> fadeTo;
    bool raise = false;           // raise the event (MouseMove / MouseOut / MouseDown / MouseUp)
    bool capture = false;         // SetCapture
    bool releaseCapture = false;  // ReleaseCapture
    bool inside = false;          // a move inside the face (MouseMove rather than MouseOut)
};

inline constexpr int kLeftButton = 1;

class MouseTracker {
public:
    MouseOutcome Down(int button, float x, float y) noexcept;
    // `anyButtonDown`: whether a mouse button is held during the move.
    MouseOutcome Move(bool anyButtonDown, float x, float y, float width, float height, bool isDefault) noexcept;
    MouseOutcome Up() noexcept;

private:
    bool seen_ = false;
    float x_ = 0, y_ = 0;
};

// Skins: 6 x 32 pictures; the slicing reads these rectangles.
inline constexpr int kSkinWidth = 6;
inline constexpr int kSkinHeight = 32;

struct Piece {
    int srcX, srcY, srcW, srcH;
    int dstX, dstY, dstW, dstH;
};

// The nine pieces of a face W x H: centre first, then the four corners and
// the four edges. A face narrower or lower than its border gets no negative
// sizes: the stretched parts shrink to nothing.
std::array<Piece, 9> NineSlice(int width, int height) noexcept;

// Colour of skin `skin` (0 normal, 1 hot, 2 pressed, 3 default) at pixel
// (x, y) as 0x00BBGGRR.
std::uint32_t SkinPixel(int skin, int x, int y) noexcept;

}  // namespace varnu::shade
