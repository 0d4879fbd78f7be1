"""Raw event files: the input is the whole file, read through `EventReader`."""

from fuzzing import read_event_file, run, scratch_path, slice_length

PATH = scratch_path("input.raw")


def test_one_input(data):
    with open(PATH, "wb") as file:
        file.write(data)
    read_event_file(PATH, slice_length(data))


if __name__ == "__main__":
    run(test_one_input)
