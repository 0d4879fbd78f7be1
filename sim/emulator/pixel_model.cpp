#include "pixel_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "pixel_crossings.h"
#include "records.h"

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace orvane::sim {

namespace {

// Log intensity is taken of the grey level plus this dark offset, so that
// the darkest levels do not swing by whole thresholds at each step.
constexpr float kDarkOffset = 10.0f;
// Relative standard deviation of the pixels' thresholds, and its bounds:
// the ideal pixel's one mismatch, then the realistic pixel's ON and OFF ones.
constexpr double kThresholdMismatch = 0.1;
constexpr double kRealisticMismatch = 0.05;
constexpr float kLeastScale = 0.5f;
constexpr float kMostScale = 1.5f;
constexpr uint64_t kNever = std::numeric_limits<uint64_t>::max();
// Each pixel's share of the mean leak rate is log-normal with this spread,
// and no pixel leaks more than kMostLeakShare times the mean: the bound
// lets the leak be drawn by thinning one Poisson process.
constexpr double kLeakSpread = 0.5;
constexpr double kMostLeakShare = 4.0;
// This fraction of the pixels is hot, each firing at a rate between these.
constexpr double kHotFraction = 1e-4;
constexpr double kHotLeastHz = 20;
constexpr double kHotMostHz = 60;
// The photoreceptor's reference counts as caught up by the high-pass this
// close to the filter's output.
constexpr float kCaughtUp = 1e-3f;
constexpr double kTwoPi = 2 * 3.14159265358979323846;
// Intervals up to this many microseconds are put in time order by counting
// the events at each offset, longer ones by a comparison sort.
constexpr uint64_t kLongestCountedInterval = 1 << 16;
// Most pixels do not change between two samples: rows are compared this
// many bytes at a time.
constexpr int kBlock = 64;
// How far ahead the scan loads the state of the pixel below a changed one.
constexpr int kPrefetchRows = 4;
// A band smaller than this costs more to hand over than its work saves.
constexpr int kLeastRowsPerBand = 8;
// Scratch space larger than this, and four times what the last step used,
// is given back, so that one long step does not keep its memory.
constexpr std::size_t kKeptScratchBytes = std::size_t{1} << 20;

const std::array<float, 256>& log_intensity() {
    static const std::array<float, 256> table = [] {
        std::array<float, 256> logs{};
        for (std::size_t level = 0; level < logs.size(); ++level) {
            logs[level] = std::log(static_cast<float>(level) + kDarkOffset);
        }
        return logs;
    }();
    return table;
}

// For a move from grey level a to b, linear in log intensity: the level
// whose light is the move's time-average, (b - a) / ln((b + 10) / (a + 10))
// - 10, rounded, at [a * 256 + b]. A photoreceptor's cutoff follows the
// light, so its filter decays over the move as at that level throughout,
// however the move is cut into samples.
const std::array<uint8_t, 256 * 256>& mean_levels() {
    static const std::array<uint8_t, 256 * 256> table = [] {
        std::array<uint8_t, 256 * 256> levels{};
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                const double light =
                    a == b ? a + kDarkOffset
                           : (b - a) / std::log((b + kDarkOffset) / (a + kDarkOffset));
                levels[a * 256 + b] = static_cast<uint8_t>(std::lround(light - kDarkOffset));
            }
        }
        return levels;
    }();
    return table;
}

// The splitmix64 finaliser: every bit of the result depends on every bit of `bits`.
uint64_t mixed(uint64_t bits) {
    bits = (bits ^ (bits >> 30)) * 0xbf58476d1ce4e5b9u;
    bits = (bits ^ (bits >> 27)) * 0x94d049bb133111ebu;
    return bits ^ (bits >> 31);
}

// A number in (0, 1] from 53 of the bits.
double unit(uint64_t bits) { return static_cast<double>((bits >> 11) + 1) * 0x1p-53; }

// What a pixel draws is a function of its index and a key, Box-Muller on two
// hashes rather than a library's normal distribution: the same on every
// platform, and simple enough for a NumPy model to compute alike.
double normal(uint64_t key, uint64_t pixel) {
    const double radius = std::sqrt(-2.0 * std::log(unit(mixed(key + 2 * pixel))));
    return radius * std::cos(kTwoPi * unit(mixed(key + 2 * pixel + 1)));
}

float threshold_scale(uint64_t key, uint64_t pixel, double mismatch) {
    return std::clamp(static_cast<float>(1.0 + mismatch * normal(key, pixel)), kLeastScale,
                      kMostScale);
}

double leak_share(uint64_t key, uint64_t pixel) {
    return std::min(std::exp(kLeakSpread * normal(key, pixel) - kLeakSpread * kLeakSpread / 2),
                    kMostLeakShare);
}

// The bytes where two runs of kBlock bytes differ, a word at a time: calls
// at(index) for each, in order.
template <typename At>
void for_each_difference(const uint8_t* a, const uint8_t* b, At at) {
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the lowest byte comes first");
    for (int word = 0; word < kBlock; word += 8) {
        uint64_t word_a;
        uint64_t word_b;
        std::memcpy(&word_a, a + word, 8);
        std::memcpy(&word_b, b + word, 8);
        const uint64_t differ = word_a ^ word_b;
        if (differ == 0) {
            continue;
        }
        // In a video every byte of a word tends to differ: a test per byte
        // costs less than finding them bit by bit.
        for (int byte = 0; byte < 8; ++byte) {
            if (((differ >> (8 * byte)) & 0xff) != 0) {
                at(word + byte);
            }
        }
    }
}

// Sixteen bytes as two words: the compiler keeps them in one vector register.
using Lanes = uint64_t __attribute__((vector_size(16)));

bool same_block(const uint8_t* a, const uint8_t* b) {
    Lanes differ{};
    for (int at = 0; at < kBlock; at += sizeof(Lanes)) {
        Lanes lanes_a;
        Lanes lanes_b;
        std::memcpy(&lanes_a, a + at, sizeof(Lanes));
        std::memcpy(&lanes_b, b + at, sizeof(Lanes));
        differ |= lanes_a ^ lanes_b;
    }
    return (differ[0] | differ[1]) == 0;
}

// Maps in the whole pages of `bytes` bytes from `start` for writing: the first
// writes to fresh memory would otherwise fault it in a page at a time, on
// whichever thread writes first. Only a hint; without it the writes fault.
void map_in(uintptr_t start, std::size_t bytes) {
#if defined(MADV_POPULATE_WRITE)
    static const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t from = (start + page - 1) & ~(page - 1);
    const uintptr_t to = (start + bytes) & ~(page - 1);
    if (from < to) {
        madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
    }
#else
    (void)start;
    (void)bytes;
#endif
}

bool in_pixel_order(const Event2D& a, const Event2D& b) {
    return a.y != b.y ? a.y < b.y : a.x != b.x ? a.x < b.x : a.t < b.t;
}

template <typename T>
void give_back_if_oversized(std::vector<T>& scratch, std::size_t used) {
    if (scratch.capacity() * sizeof(T) > kKeptScratchBytes && scratch.capacity() > 4 * used) {
        std::vector<T>().swap(scratch);
    }
}

// A list whose room keeps its size from one step to the next, so that
// filling it writes each element once: a std::vector value-initialises what
// it grows by, and an element built aside and copied in stalls on the copy.
template <typename T>
struct Filling {
    std::vector<T> room;
    std::size_t count = 0;

    // Room for `more` elements after the last, which then count.
    T* add(std::size_t more) {
        if (count + more > room.size()) {
            room.resize(std::max(count + more, 2 * room.size()));
        }
        count += more;
        return room.data() + count - more;
    }
    const T* begin() const { return room.data(); }
    const T* end() const { return room.data() + count; }
    void give_back_if_oversized() {
        if (room.size() * sizeof(T) > kKeptScratchBytes && room.size() > 4 * count) {
            std::vector<T>().swap(room);
        }
    }
};

}  // namespace

// The interval (t0, t0 + dt] between the last sample and this one.
struct PixelModel::Interval {
    uint64_t t0;
    uint64_t dt;
    bool counted;  // short enough for a counting sort

    // Where a crossing falls, from its offset into the interval: never at
    // t0 itself, which belongs to the previous interval.
    uint64_t crossing_time(double offset) const {
        // The ceiling of the bounded offset, without a call to std::ceil.
        const double bounded = std::clamp(offset, 1.0, static_cast<double>(dt));
        auto whole = static_cast<uint64_t>(bounded);
        whole += static_cast<double>(whole) < bounded ? 1 : 0;
        return t0 + std::min(whole, dt);
    }
    std::size_t offset(const Event2D& event) const { return event.t - t0 - 1; }
};

// The rows [first_row, end_row) and what a step finds in them. A step first
// finds the crossings without changing the pixels, so that it can still
// give up when memory runs out, then settles them.
struct PixelModel::Band {
    // A pixel whose state moves: the reference, filter output and last event
    // time it moves to. Its grey level moves with its run of the sample.
    struct Change {
        uint64_t last_event_t;
        uint16_t x;
        uint16_t y;
        float reference;
        float filtered;
    };

    Band(int first, int end) : first_row(first), end_row(end) {}

    int first_row;
    int end_row;
    Filling<Change> changes;
    // The crossings of the pixel at hand, and the band's share of the
    // background activity, in pixel order.
    Filling<Event2D> crossings;
    const Event2D* noise_begin = nullptr;
    const Event2D* noise_end = nullptr;
    // The events outside the refractory period (and, once settled, that
    // `keep` lets through), in pixel order.
    Filling<Event2D> kept;
    // Kept events at each offset into the interval; then, once counted over
    // every band, where the band's first event at that offset goes.
    std::vector<uint32_t> per_offset;
    // The pixels (y << 16 | x) whose photoreceptor has yet to settle, in
    // pixel order: the next step visits them even where the scene is still.
    // And those of the last checkpoint.
    Filling<uint32_t> moving;
    Filling<uint32_t> next_moving;
    Filling<uint32_t> checkpoint_moving;
    // The columns of the row at hand whose grey level changed.
    Filling<uint16_t> changed_columns;
    // Where the runs of up to kBlock pixels that hold a changed grey level
    // start, as indices into the sample.
    Filling<std::size_t> changed_runs;
};

unsigned PixelModel::band_count(int height, unsigned threads) {
    const auto most_bands = static_cast<unsigned>(std::max(1, height / kLeastRowsPerBand));
    return std::clamp(threads, 1u, most_bands);
}

template <typename Task>
void PixelModel::on_every_band(Task task) {
    if (!pool_) {
        task(bands_.front());
        return;
    }
    auto share = [&](unsigned band) { task(bands_[band]); };
    pool_->run(share);
}

PixelModel::PixelModel(int width, int height, const uint8_t* first_sample, uint64_t t_us,
                       std::mt19937_64& random, unsigned threads, bool ideal,
                       std::shared_ptr<WorkerPool> pool)
    : width_(width),
      height_(height),
      last_t_us_(t_us),
      ideal_(ideal),
      last_sample_(first_sample, first_sample + static_cast<std::size_t>(width) * height),
      pixels_(width, height),
      sample_undo_(static_cast<std::size_t>(width), static_cast<std::size_t>(height)),
      checkpoint_t_us_(t_us) {
    const auto count = static_cast<int>(band_count(height, threads));
    for (int band = 0; band < count; ++band) {
        bands_.emplace_back(height * band / count, height * (band + 1) / count);
    }
    if (count > 1) {
        pool_ = pool ? std::move(pool) : std::make_shared<WorkerPool>(count);
    }
    const auto& logs = log_intensity();
    const uint64_t key = random();
    const uint64_t off_key = ideal ? key : random();
    const uint64_t hot_key = ideal ? 0 : random();
    const uint64_t leak_key = ideal ? 0 : random();
    const double mismatch = ideal ? kThresholdMismatch : kRealisticMismatch;
    leak_shares_.resize(ideal ? 0 : last_sample_.size());
    // Each pixel's draws are hashes of its index: the bands draw their own rows.
    std::vector<std::vector<HotPixel>> band_hot_pixels(bands_.size());
    on_every_band([&](Band& band) {
        std::vector<HotPixel>& hot =
            band_hot_pixels[static_cast<std::size_t>(&band - bands_.data())];
        const auto first = static_cast<std::size_t>(band.first_row) * width;
        const auto end = static_cast<std::size_t>(band.end_row) * width;
        for (std::size_t pixel = first; pixel < end; ++pixel) {
            const float level = logs[last_sample_[pixel]];
            const float on_scale = threshold_scale(key, pixel, mismatch);
            const float off_scale = ideal ? on_scale : threshold_scale(off_key, pixel, mismatch);
            pixels_.at(static_cast<uint16_t>(pixel % width),
                       static_cast<uint16_t>(pixel / width)) = {level, on_scale, off_scale, level,
                                                                kNever};
            if (ideal) {
                continue;
            }
            leak_shares_[pixel] = static_cast<float>(leak_share(leak_key, pixel));
            if (unit(mixed(hot_key + 2 * pixel)) <= kHotFraction) {
                hot.push_back({static_cast<uint32_t>(pixel),
                               kHotLeastHz + (kHotMostHz - kHotLeastHz) *
                                                 unit(mixed(hot_key + 2 * pixel + 1))});
            }
        }
    });
    for (const std::vector<HotPixel>& hot : band_hot_pixels) {
        hot_pixels_.insert(hot_pixels_.end(), hot.begin(), hot.end());
    }
}

PixelModel::~PixelModel() = default;

void PixelModel::checkpoint() {
    for (Band& band : bands_) {
        band.checkpoint_moving.count = 0;
        std::copy(band.moving.begin(), band.moving.end(),
                  band.checkpoint_moving.add(band.moving.count));
    }
    pixels_.checkpoint();
    sample_undo_.checkpoint();
    checkpoint_t_us_ = last_t_us_;
}

void PixelModel::roll_back() noexcept {
    for (Band& band : bands_) {
        std::swap(band.moving, band.checkpoint_moving);
    }
    pixels_.roll_back();
    sample_undo_.roll_back(last_sample_.data());
    last_t_us_ = checkpoint_t_us_;
}

void PixelModel::step(const uint8_t* sample, uint64_t t_us, const PixelSettings& settings,
                      std::mt19937_64& random, const PixelFilter& keep, EventBuffer& events,
                      const SampleRenderer& render) {
    if (t_us <= last_t_us_) {
        return;
    }
    const Interval interval{last_t_us_, t_us - last_t_us_,
                            t_us - last_t_us_ <= kLongestCountedInterval};
    const std::size_t first = events.size();
    // Everything that may fail comes before the first change to the pixels.
    const std::mt19937_64 drawn_from = random;
    std::size_t most = first;
    try {
        if (ideal_) {
            draw_noise(interval, settings, random);
        } else {
            draw_realistic_noise(interval, settings, random);
        }
        hand_noise_to_bands();
        if (!ideal_) {
            for (std::size_t level = 0; level < cutoff_.size(); ++level) {
                cutoff_[level] = kTwoPi * settings.bandwidth_hz * 1e-6 *
                                 (static_cast<double>(level) + kDarkOffset) / (255 + kDarkOffset);
                decay_[level] = decay_over(cutoff_[level], static_cast<double>(interval.dt));
            }
        }
        on_every_band([&](Band& band) {
            if (render) {
                render(band.first_row, band.end_row);
            }
            find_crossings(band, sample, interval, settings, interval.counted && !keep);
        });
        for (const Band& band : bands_) {
            most += band.kept.count;
        }
        if (most > events.capacity()) {
            events.reserve(std::max(most, 2 * events.capacity()));
        }
    } catch (...) {
        random = drawn_from;
        throw;
    }
    // The room for this step's events is mostly fresh memory: each band maps
    // in its share while it settles, so that the events are not faulted in
    // on the calling thread alone. Where the find counted the events (no
    // `keep` to judge them), their places are known already, and each band
    // places its own once it has settled, which saves the threads a meeting.
    const uintptr_t room = reinterpret_cast<uintptr_t>(events.data()) + first * sizeof(Event2D);
    const std::size_t room_bytes = (most - first) * sizeof(Event2D);
    const bool placed_while_settling = interval.counted && !keep;
    if (placed_while_settling) {
        events.grow_to(first + count_places(interval));
    }
    on_every_band([&](Band& band) {
        const std::size_t share = room_bytes / bands_.size();
        map_in(room + share * static_cast<std::size_t>(&band - bands_.data()), share);
        settle(band, sample, interval, keep);
        if (placed_while_settling) {
            place_band(band, events.data() + first, interval);
        }
    });
    last_t_us_ = t_us;
    if (!placed_while_settling) {
        place(events, first, interval);
    }
    give_back_if_oversized(noise_, noise_.size());
    for (Band& band : bands_) {
        band.changes.give_back_if_oversized();
        band.crossings.give_back_if_oversized();
        band.kept.give_back_if_oversized();
    }
}

// The ideal pixel's background activity: a Poisson process over the whole
// sensor, each event at a pixel, time and polarity drawn at random.
void PixelModel::draw_noise(const Interval& interval, const PixelSettings& settings,
                            std::mt19937_64& random) {
    noise_.clear();
    const double expected = settings.noise_rate_hz * static_cast<double>(last_sample_.size()) *
                            static_cast<double>(interval.dt) * 1e-6;
    if (expected > 0) {
        const auto count = std::poisson_distribution<uint64_t>(expected)(random);
        std::uniform_int_distribution<uint32_t> pixel(
            0, static_cast<uint32_t>(last_sample_.size() - 1));
        std::uniform_int_distribution<uint64_t> offset(1, interval.dt);
        for (uint64_t i = 0; i < count; ++i) {
            const uint32_t at = pixel(random);
            const uint64_t t = interval.t0 + offset(random);
            noise_.push_back(make_event2d(static_cast<uint16_t>(at % width_),
                                          static_cast<uint16_t>(at / width_),
                                          static_cast<uint8_t>(random() & 1), t));
        }
        std::stable_sort(noise_.begin(), noise_.end(), in_pixel_order);
    }
}

// Leak, shot noise and the hot pixels, each drawn as a Poisson process over
// the whole sensor in turn; a pixel's share of the first two decides by
// thinning whether each event drawn at it happens.
void PixelModel::draw_realistic_noise(const Interval& interval, const PixelSettings& settings,
                                      std::mt19937_64& random) {
    noise_.clear();
    const double pixels = static_cast<double>(last_sample_.size());
    const double seconds = static_cast<double>(interval.dt) * 1e-6;
    std::uniform_int_distribution<uint32_t> pixel(0,
                                                  static_cast<uint32_t>(last_sample_.size() - 1));
    std::uniform_int_distribution<uint64_t> offset(1, interval.dt);
    const auto add = [&](uint32_t at, bool on) {
        noise_.push_back(make_event2d(static_cast<uint16_t>(at % width_),
                                      static_cast<uint16_t>(at / width_), on ? 1 : 0,
                                      interval.t0 + offset(random)));
    };
    const auto poisson = [&](double expected) {
        return expected > 0 ? std::poisson_distribution<uint64_t>(expected)(random) : 0;
    };
    const uint64_t leaks = poisson(settings.leak_rate_hz * kMostLeakShare * pixels * seconds);
    for (uint64_t i = 0; i < leaks; ++i) {
        const uint32_t at = pixel(random);
        if (unit(random()) * kMostLeakShare <= leak_shares_[at]) {
            add(at, true);
        }
    }
    const uint64_t shots = poisson(settings.shot_rate_hz * pixels * seconds);
    for (uint64_t i = 0; i < shots; ++i) {
        const uint32_t at = pixel(random);
        const double chance = kDarkOffset / (last_sample_[at] + kDarkOffset);
        const double draw = unit(random());
        if (draw <= chance) {
            add(at, draw <= chance * settings.shot_on_share);
        }
    }
    for (const HotPixel& hot : hot_pixels_) {
        for (uint64_t n = poisson(hot.rate_hz * seconds); n > 0; --n) {
            add(hot.index, (random() & 1) != 0);
        }
    }
    std::stable_sort(noise_.begin(), noise_.end(), in_pixel_order);
}

void PixelModel::hand_noise_to_bands() {
    for (Band& band : bands_) {
        const auto below = [](const Event2D& event, int row) { return event.y < row; };
        band.noise_begin =
            noise_.data() + (std::lower_bound(noise_.begin(), noise_.end(), band.first_row, below) -
                             noise_.begin());
        band.noise_end =
            noise_.data() +
            (std::lower_bound(noise_.begin(), noise_.end(), band.end_row, below) - noise_.begin());
    }
}

// Leaves the pixels as they are: the changes wait in the band. The events
// go through the refractory period here, in pixel order with the band's
// noise; they are counted per offset unless `keep` is yet to judge them.
void PixelModel::find_crossings(Band& band, const uint8_t* sample, const Interval& interval,
                                const PixelSettings& settings, bool count) {
    band.changes.count = 0;
    band.changed_runs.count = 0;
    band.kept.count = 0;
    if (interval.counted) {
        band.per_offset.assign(interval.dt, 0);
    }
    const auto& logs = log_intensity();
    const auto& mean_level = mean_levels();
    const auto pass = [&](const Event2D& event, uint64_t& last) {
        if (last != kNever && event.t - last < settings.refractory_us) {
            return;
        }
        last = event.t;
        *band.kept.add(1) = event;
        if (count) {
            ++band.per_offset[interval.offset(event)];
        }
    };
    // In a video most pixels change at every sample and few cross a
    // threshold: only a state that moves is written down.
    const auto record = [&](uint16_t x, uint16_t y, const PixelState& state, float reference,
                            float filtered, uint64_t last) {
        if (reference == state.reference && filtered == state.filtered &&
            last == state.last_event_t) {
            return;
        }
        Band::Change* change = band.changes.add(1);
        change->last_event_t = last;
        change->x = x;
        change->y = y;
        change->reference = reference;
        change->filtered = filtered;
    };
    const auto key = [](const Event2D& event) { return uint32_t{event.y} << 16 | event.x; };
    const Event2D* noise = band.noise_begin;
    band.next_moving.count = 0;
    const uint32_t* moving = band.moving.begin();
    const double high_pass = kTwoPi * settings.high_pass_hz * 1e-6;
    // The noise of the pixels before `until`, whose grey level did not change.
    const auto pass_noise_before = [&](uint32_t until) {
        while (noise != band.noise_end && key(*noise) < until) {
            const Event2D& first = *noise;
            const PixelState& state = pixels_.at(first.x, first.y);
            uint64_t last = state.last_event_t;
            for (; noise != band.noise_end && key(*noise) == key(first); ++noise) {
                pass(*noise, last);
            }
            record(first.x, first.y, state, state.reference, state.filtered, last);
        }
    };
    for (int y = band.first_row; y < band.end_row; ++y) {
        const std::size_t row = static_cast<std::size_t>(y) * width_;
        const uint8_t* before = last_sample_.data() + row;
        const uint8_t* after = sample + row;
        const auto cross = [&](int x) {
            const auto px = static_cast<uint16_t>(x);
            const auto py = static_cast<uint16_t>(y);
            const uint32_t here = uint32_t{py} << 16 | px;
            if (noise != band.noise_end && key(*noise) < here) {
                pass_noise_before(here);
            }
            // Changes come in patches: the scan will soon meet this column again a
            // few rows down.
            pixels_.prefetch(px, static_cast<uint16_t>(y + kPrefetchRows));
            const PixelState& state = pixels_.at(px, py);
            const double start = logs[before[x]];
            const double end = logs[after[x]];
            band.crossings.count = 0;
            float reference = state.reference;
            // The ideal pixel has no filter: its output stays as it was.
            float filtered = state.filtered;
            if (ideal_) {
                reference = ideal_crossings(interval, start, end, state.reference,
                                            settings.on_threshold * state.threshold_scale,
                                            settings.off_threshold * state.off_scale, px, py,
                                            band.crossings);
            } else {
                const uint8_t level = mean_level[before[x] * 256 + after[x]];
                Lagged lagged{state.reference,
                              state.filtered,
                              cutoff_[level],
                              decay_[level],
                              high_pass,
                              settings.on_threshold * state.threshold_scale,
                              settings.off_threshold * state.off_scale};
                lagged_crossings(interval, start, end, lagged, px, py, band.crossings);
                reference = static_cast<float>(lagged.reference);
                filtered = static_cast<float>(lagged.filtered);
                if (lagged.filtered != end ||
                    (high_pass > 0 && std::abs(reference - filtered) > kCaughtUp)) {
                    *band.next_moving.add(1) = here;
                }
            }
            uint64_t last = state.last_event_t;
            if (noise == band.noise_end || key(*noise) != here) {
                // Room for every crossing at once: the refractory period drops a few.
                Event2D* kept = band.kept.add(band.crossings.count);
                for (const Event2D& crossing : band.crossings) {
                    if (last == kNever || crossing.t - last >= settings.refractory_us) {
                        last = crossing.t;
                        *kept++ = crossing;
                        if (count) {
                            ++band.per_offset[interval.offset(crossing)];
                        }
                    }
                }
                band.kept.count = static_cast<std::size_t>(kept - band.kept.room.data());
                record(px, py, state, reference, filtered, last);
                return;
            }
            // The pixel's noise joins its crossings in time order, after those of its time.
            for (const Event2D& crossing : band.crossings) {
                for (; noise != band.noise_end && key(*noise) == here && noise->t < crossing.t;
                     ++noise) {
                    pass(*noise, last);
                }
                pass(crossing, last);
            }
            for (; noise != band.noise_end && key(*noise) == here; ++noise) {
                pass(*noise, last);
            }
            record(px, py, state, reference, filtered, last);
        };
        const auto for_each_change = [&](auto at) {
            int first = 0;
            for (; first + kBlock <= width_; first += kBlock) {
                if (!same_block(before + first, after + first)) {
                    *band.changed_runs.add(1) = row + static_cast<std::size_t>(first);
                    for_each_difference(before + first, after + first,
                                        [&](int x) { at(first + x); });
                }
            }
            if (std::memcmp(before + first, after + first,
                            static_cast<std::size_t>(width_ - first)) != 0) {
                *band.changed_runs.add(1) = row + static_cast<std::size_t>(first);
            }
            for (int x = first; x < width_; ++x) {
                if (before[x] != after[x]) {
                    at(x);
                }
            }
        };
        // In a video most pixels change at every sample, most by less than a
        // threshold: an ideal pixel without noise at hand takes this short way,
        // its crossings straight into the kept events, and its grey level
        // moves with its run of the sample in settle().
        const auto ideal_without_noise = [&](int x) {
            const auto px = static_cast<uint16_t>(x);
            const auto py = static_cast<uint16_t>(y);
            if (noise != band.noise_end && key(*noise) <= (uint32_t{py} << 16 | px)) {
                return false;
            }
            const PixelState& state = pixels_.at(px, py);
            const double end = logs[after[x]];
            const double on_step = settings.on_threshold * state.threshold_scale;
            const double off_step = settings.off_threshold * state.off_scale;
            if (std::abs(end - state.reference) < (end > state.reference ? on_step : off_step)) {
                return true;
            }
            const std::size_t first = band.kept.count;
            const float reference = ideal_crossings(interval, logs[before[x]], end, state.reference,
                                                    on_step, off_step, px, py, band.kept);
            uint64_t last = state.last_event_t;
            Event2D* kept = band.kept.room.data() + first;
            for (const Event2D* crossing = kept; crossing != band.kept.end(); ++crossing) {
                if (last == kNever || crossing->t - last >= settings.refractory_us) {
                    last = crossing->t;
                    if (count) {
                        ++band.per_offset[interval.offset(*crossing)];
                    }
                    *kept++ = *crossing;
                }
            }
            band.kept.count = static_cast<std::size_t>(kept - band.kept.room.data());
            record(px, py, state, reference, state.filtered, last);
            return true;
        };
        const uint32_t next_row = static_cast<uint32_t>(y + 1) << 16;
        if (ideal_) {
            for_each_change([&](int x) {
                if (!ideal_without_noise(x)) {
                    cross(x);
                }
            });
            continue;
        }
        if (moving == band.moving.end() || *moving >= next_row) {
            for_each_change(cross);
            continue;
        }
        // The pixels still settling join the changed ones, in column order.
        band.changed_columns.count = 0;
        for_each_change([&](int x) { *band.changed_columns.add(1) = static_cast<uint16_t>(x); });
        const uint16_t* changed = band.changed_columns.begin();
        while (changed != band.changed_columns.end() ||
               (moving != band.moving.end() && *moving < next_row)) {
            const int settling = moving != band.moving.end() && *moving < next_row
                                     ? static_cast<int>(*moving & 0xffff)
                                     : width_;
            const int column = changed != band.changed_columns.end() ? *changed : width_;
            const int x = std::min(settling, column);
            changed += column == x ? 1 : 0;
            moving += settling == x ? 1 : 0;
            cross(x);
        }
    }
    pass_noise_before(std::numeric_limits<uint32_t>::max());
}

// Moves the band's pixels on, then lets `keep` judge the events that passed
// the refractory period, in pixel order, where neighbouring events have
// neighbouring state.
void PixelModel::settle(Band& band, const uint8_t* sample, const Interval& interval,
                        const PixelFilter& keep) {
    std::swap(band.moving, band.next_moving);
    const auto width = static_cast<std::size_t>(width_);
    for (const std::size_t run : band.changed_runs) {
        const std::size_t length = std::min<std::size_t>(kBlock, width - run % width);
        sample_undo_.before_change(last_sample_.data(), run % width, run / width, length);
        std::memcpy(last_sample_.data() + run, sample + run, length);
    }
    for (const Band::Change& change : band.changes) {
        PixelState& state = pixels_.changing(change.x, change.y);
        state.reference = change.reference;
        state.filtered = change.filtered;
        state.last_event_t = change.last_event_t;
    }
    if (!keep) {
        return;
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < band.kept.count; ++i) {
        const Event2D event = band.kept.room[i];
        if (keep(event)) {
            band.kept.room[kept++] = event;
            if (interval.counted) {
                ++band.per_offset[interval.offset(event)];
            }
        }
    }
    band.kept.count = kept;
}

// Appends the bands' kept events to `events` in time order, those of one
// time stamp in pixel order, with their padding zeroed; `events` already
// has the room.
void PixelModel::place(EventBuffer& events, std::size_t first, const Interval& interval) {
    if (!interval.counted) {
        for (const Band& band : bands_) {
            events.append(band.kept.begin(), band.kept.end());
        }
        for (Event2D* event = events.begin() + first; event != events.end(); ++event) {
            clear_padding(*event);
        }
        std::stable_sort(events.begin() + static_cast<std::ptrdiff_t>(first), events.end(),
                         [](const Event2D& a, const Event2D& b) { return a.t < b.t; });
        return;
    }
    events.grow_to(first + count_places(interval));
    Event2D* const out = events.data() + first;
    on_every_band([&](Band& band) { place_band(band, out, interval); });
}

// Turns the bands' counts of events at each offset into where the band's
// first event at that offset goes; returns how many there are in all.
std::size_t PixelModel::count_places(const Interval& interval) {
    uint32_t placed = 0;
    for (std::size_t offset = 0; offset < interval.dt; ++offset) {
        for (Band& band : bands_) {
            placed += std::exchange(band.per_offset[offset], placed);
        }
    }
    return placed;
}

void PixelModel::place_band(Band& band, Event2D* out, const Interval& interval) {
    for (Event2D event : band.kept) {
        clear_padding(event);
        out[band.per_offset[interval.offset(event)]++] = event;
    }
}

}  // namespace orvane::sim
