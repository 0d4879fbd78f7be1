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
    // Whether the sensor may take a sample of its own between `t_us` and
    // next_sample_after(t_us). A scene whose log intensities move linearly
    // between its samples, as the pixel model takes them, forbids it: a
    // sample in between would round them to grey levels off that line.
    virtual bool may_sample_between(uint64_t /*t_us*/) const { return true; }
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

// How the values of a user's frame are laid out and what they mean: one
// grey level or three RGB values per pixel, either bytes (0 to 255) or
// floating point (0 to 1, clipped outside).
enum class FrameFormat { grey8, rgb8, grey_float, rgb_float, grey_double, rgb_double };

// One of a user's frames, shown at `time_us`: height * width pixels of
// `format` at `pixels`, row by row, which `owner` keeps alive and unchanged.
// The scene turns them into grey levels only when it renders them, on the
// threads that render.
struct TimedFrame {
    uint64_t time_us = 0;
    FrameFormat format = FrameFormat::grey8;
    const void* pixels = nullptr;
    std::shared_ptr<const void> owner;
};

// A frame of grey levels that owns them.
TimedFrame grey_frame(uint64_t time_us, std::vector<uint8_t> levels);

// The next of a user's frames, or nothing once there are no more. `index`
// counts the frames asked for before this one, those refused included. It
// may throw, giving no frame; it is asked again at the next need.
using FrameSource = std::function<std::optional<TimedFrame>(std::size_t index)>;

// A user's frames: `frames` (at least one), then those `more` gives, read
// only as far as prepare() needs (an empty `more` gives none), each of
// width * height pixels. Between two frames each pixel's log intensity moves
// linearly, which is how the pixel model takes it between two samples: the
// scene is sampled at every frame's time and nowhere in between. Before the
// first frame and after the last it holds them, sampled every 10 ms for the
// sensor's noise. Throws std::invalid_argument for time stamps that do not
// increase.
std::unique_ptr<Scene> make_frame_scene(std::vector<TimedFrame> frames, FrameSource more, int width,
                                        int height);

}  // namespace orvane::sim
