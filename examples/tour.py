"""A short tour of the Orvane Python kit, run against the simulated camera."""

import orvane_sim_py as sim


def section(title):
    print(f"\n== {title} ==")


def describe_camera(camera):
    section("Camera description")
    print(camera.description())


def show_events(camera):
    section("DVS events as a NumPy structured array")
    events = camera.events(5)
    print(events.dtype)
    print(events)
    section("Trigger events")
    print(camera.triggers(3))


def main():
    camera = sim.Camera()
    describe_camera(camera)
    show_events(camera)


if __name__ == "__main__":
    main()
