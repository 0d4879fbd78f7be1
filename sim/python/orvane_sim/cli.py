"""The `orvane-sim` command: `convert` videos into event files, `info` on an event file."""

from __future__ import annotations

import argparse
import os
import sys

from .extras import need

EXIT_FAILED = 1


def bias(text):
    name, equals, value = text.partition("=")
    try:
        if not equals or not name:
            raise ValueError
        return name, int(value)
    except ValueError:
        raise argparse.ArgumentTypeError(f"expected NAME=INTEGER, got {text!r}") from None


def positive(text):
    try:
        value = int(text)
        if value < 1:
            raise ValueError
    except ValueError:
        raise argparse.ArgumentTypeError(
            f"expected an integer of 1 or more, got {text!r}"
        ) from None
    return value


def parser():
    main = argparse.ArgumentParser(prog="orvane-sim", description=__doc__)
    commands = main.add_subparsers(dest="command", required=True)
    convert = commands.add_parser("convert", help="turn video files into event files")
    convert.add_argument("inputs", nargs="+", metavar="INPUT", help="video files")
    convert.add_argument("--out", required=True, metavar="DIR", help="folder for the event files")
    convert.add_argument("--format", choices=("h5", "raw"), default="h5")
    convert.add_argument(
        "--bias",
        type=bias,
        action="append",
        default=[],
        metavar="NAME=VALUE",
        help="a bias of the camera (bias_diff_on, bias_fo, ...), once per bias",
    )
    convert.add_argument(
        "--biases", metavar="FILE", help="a bias file (save_biases), before any --bias"
    )
    convert.add_argument("--ideal", action="store_true", help="the ideal pixel, not the realistic")
    convert.add_argument("--seed", type=int, default=0, help="each video's seed derives from it")
    convert.add_argument("--threads", type=positive, help="the pixel model's threads per video")
    convert.add_argument("--width", type=positive, help="resize the frames to this width")
    convert.add_argument("--height", type=positive, help="resize the frames to this height")
    where = convert.add_mutually_exclusive_group()
    where.add_argument("--workers", type=positive, help="run on a local Dask cluster of N workers")
    where.add_argument("--scheduler", metavar="ADDRESS", help="run on this Dask scheduler")
    convert.add_argument(
        "--preview",
        nargs="?",
        const="events",
        choices=("events", "side-by-side"),
        help="also write DIR/NAME.preview.mp4 of the events; side-by-side shows each input "
        "frame left of them",
    )
    convert.add_argument("--quiet", action="store_true", help="no progress bars")
    info = commands.add_parser("info", help="describe an event file")
    info.add_argument("file", metavar="FILE")
    return main


def checked_biases(args, usage):
    """The bias file and the biases, tried on a small camera first: a bad one is bad usage."""
    import orvane_hal_py as hal
    import orvane_sim_py as sim

    from .biases import apply_bias_mapping, load_biases

    camera = sim.Camera("still", width=16, height=16)
    try:
        if args.biases is not None:
            load_biases(camera, args.biases)
        apply_bias_mapping(camera.tool(hal.BIAS), dict(args.bias))
    except (OSError, ValueError, TypeError) as error:
        usage.error(f"--biases/--bias: {error}")
    return {"bias_file": args.biases, "biases": dict(args.bias)}


class Progress:
    """A bar per video and one overall, on stderr when it is a terminal."""

    def __init__(self, videos, quiet):
        self.bars, self.overall = {}, None
        if quiet or not sys.stderr.isatty():
            return
        self.tqdm = need("tqdm", "cli").tqdm
        self.overall = self.tqdm(total=len(videos), desc="videos", unit="video", position=0)

    def advance(self, video, clock_us, length_us):
        if self.overall is None:
            return
        bar = self.bars.get(video)
        if bar is None:
            total = round(length_us / 1e6, 1) if length_us else None
            bar = self.bars[video] = self.tqdm(
                total=total,
                desc=os.path.basename(video),
                unit="s",
                position=len(self.bars) + 1,
                leave=False,
            )
        bar.n = round(clock_us / 1e6, 1)
        bar.refresh()

    def done(self, result):
        if self.overall is None:
            return
        bar = self.bars.pop(result["video"], None)
        if bar is not None:
            bar.close()
        self.overall.update(1)

    def close(self):
        if self.overall is not None:
            self.overall.close()


def convert(args, usage):
    if (args.width is None) != (args.height is None):
        usage.error("--width and --height go together")
    options = {"format": args.format, "seed": args.seed, "ideal": args.ideal}
    options.update(checked_biases(args, usage), preview=args.preview)
    if args.threads is not None:
        options["threads"] = args.threads
    if args.width is not None:
        options["size"] = (args.width, args.height)
    if args.format == "h5":
        need("h5py", "files")
    need("av", "video")
    os.makedirs(args.out, exist_ok=True)
    progress = Progress(args.inputs, args.quiet)
    try:
        if args.workers is None and args.scheduler is None:
            results = convert_here(args.inputs, args.out, options, progress)
        else:
            results = convert_on_dask(args, options, progress)
    finally:
        progress.close()
    print_summary(results)
    failed = [result for result in results if "error" in result]
    for result in failed:
        print(f"orvane-sim: {result['video']}: {result['error']}", file=sys.stderr)
    return EXIT_FAILED if failed else 0


def convert_here(videos, out_dir, options, progress):
    from .conversion import convert_video

    results = []
    for video in videos:
        try:
            result = convert_video(
                video,
                out_dir,
                progress=lambda clock_us, length_us, video=video: progress.advance(
                    video, clock_us, length_us
                ),
                **options,
            )
        except Exception as error:  # noqa: BLE001 - any video's failure is reported
            result = {"video": video, "error": f"{type(error).__name__}: {error}"}
        progress.done(result)
        results.append(result)
    return results


def convert_on_dask(args, options, progress):
    from .cluster import convert_videos

    client = None
    if args.scheduler is not None:
        client = need("distributed", "cluster").Client(args.scheduler)
    try:
        return convert_videos(
            args.inputs,
            args.out,
            client=client,
            workers=args.workers,
            on_progress=progress.advance,
            on_done=progress.done,
            **options,
        )
    finally:
        if client is not None:
            client.close()


def print_summary(results):
    rows = [("video", "events", "duration s", "events/s", "time s")]
    for result in results:
        if "error" in result:
            rows.append((os.path.basename(result["video"]), "failed", "-", "-", "-"))
            continue
        seconds = result["duration_us"] / 1e6
        rows.append(
            (
                os.path.basename(result["video"]),
                str(result["events"]),
                f"{seconds:.2f}",
                f"{result['events'] / seconds:.0f}" if seconds else "-",
                f"{result['seconds']:.1f}",
            )
        )
    widths = [max(len(row[i]) for row in rows) for i in range(5)]
    for row in rows:
        print(
            f"{row[0]:<{widths[0]}}  " + "  ".join(f"{c:>{w}}" for c, w in zip(row[1:], widths[1:]))
        )


def info(args):
    from .event_files import EventReader

    try:
        with EventReader(args.file) as reader:
            file_info = reader.file_info()
            kind = (
                f"raw ({reader.format.get_encoding_type_str()})" if reader.kind == "raw" else "HDF5"
            )
            duration = (file_info.end_timestamp - file_info.start_timestamp) / 1e6
            print(f"file      {args.file}")
            print(f"format    {kind}")
            print(f"size      {os.path.getsize(args.file)} bytes")
            print(f"sensor    {reader.width} x {reader.height}")
            print(
                f"duration  {duration:.6f} s ({file_info.start_timestamp} to {file_info.end_timestamp} us)"
            )
            print(f"events    {reader.event_count}")
            print(f"triggers  {reader.trigger_count}")
    except (OSError, ValueError) as error:
        print(f"orvane-sim: {error}", file=sys.stderr)
        return EXIT_FAILED
    return 0


def main(argv=None):
    usage = parser()
    args = usage.parse_args(argv)
    try:
        return convert(args, usage) if args.command == "convert" else info(args)
    except ImportError as error:
        print(f"orvane-sim: {error}", file=sys.stderr)
        return EXIT_FAILED


if __name__ == "__main__":
    sys.exit(main())
