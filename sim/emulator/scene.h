#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvane::sim {

// What the pixel model watches: a grayscale image (one byte per pixel, row
// by row) at any time stamp. A scene also says how often it must be sampled
// so that nothing in it moves more than about one pixel between two samples.
class Scene {
public:
    virtual ~Scene() = default;

    virtual int width() const = 0;
    virtual int height() const = 0;
    // Reads the scene's source as far as next_sample_after(t_us), and render()
    // up to the time it returns, need. Built-in scenes have nothing to read. It
    // may be called without the interpreter lock, and may throw (a user's
    // source fails); what was read before stays read.
    virtual void prepare(uint64_t /*t_us*/) {}
    // Nothing before `t_us` will be rendered again: what only it needed may go.
    virtual void forget_before(uint64_t /*t_us*/) {}
    // The first time stamp after `t_us` at which the scene must be sampled.
    virtual uint64_t next_sample_after(uint64_t t_us) const = 0;
    // Writes the intensities of the rows [first_row, end_row) for time `t_us`
    // into those rows of `pixels`, a frame of width() * height() bytes. Rows
    // of one frame may be rendered on several threads at once.
    virtual void render_rows(uint64_t t_us, int first_row, int end_row, uint8_t* pixels) const = 0;
    // Writes width() * height() intensities for time `t_us` into `pixels`.
    void render(uint64_t t_us, uint8_t* pixels) const { render_rows(t_us, 0, height(), pixels); }
};

// The names of the built-in scenes, in the order the README describes them.
const std::vector<std::string>& builtin_scene_names();
// Their names, comma-separated, for messages.
std::string builtin_scene_list();

// A built-in scene of the given size. Throws std::invalid_argument for a
// name that builtin_scene_names() does not list.
std::unique_ptr<Scene> make_builtin_scene(const std::string& name, int width, int height);

// One of a user's frames: height * width bytes, shown at `time_us`.
struct TimedFrame {
    uint64_t time_us = 0;
    std::vector<uint8_t> pixels;
};

// The next of a user's frames, or nothing once there are no more. `index`
// counts the frames asked for before this one, those refused included. It
// may throw, giving no frame; it is asked again at the next need.
using FrameSource = std::function<std::optional<TimedFrame>(std::size_t index)>;

// A user's frames: `frames` (at least one), then those `more` gives, read
// only as far as prepare() needs (an empty `more` gives none). Between two
// frames the scene blends them linearly; before the first and after the
// last it holds them. It is sampled at every frame's time, and between two
// frames often enough that no pixel's log intensity moves by more than half
// the nominal contrast threshold from one sample to the next. Throws
// std::invalid_argument for a frame of another size or time stamps that do
// not increase.
std::unique_ptr<Scene> make_frame_scene(std::vector<TimedFrame> frames, FrameSource more, int width,
                                        int height);

}  // namespace orvane::sim
