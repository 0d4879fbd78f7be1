"""The camera's event records in the layout other event libraries take."""

from __future__ import annotations

import numpy as np
import numpy.typing as npt

XYTP = np.dtype([("x", "<u2"), ("y", "<u2"), ("t", "<i8"), ("p", "i1")])
EVENT_FIELDS = ("x", "y", "polarity", "timestamp")
POLARITIES = ("01", "signed")


def to_xytp(events: npt.NDArray[np.void], *, polarity: str = "01") -> npt.NDArray[np.void]:
    """Event2D records as a packed copy with the fields ``x``, ``y``, ``t`` and ``p``.

    ``x`` and ``y`` are ``uint16`` pixels, ``t`` the time stamp in microseconds as
    ``int64`` (differences of time stamps may be negative there, where the camera's
    ``uint64`` wraps round), ``p`` an ``int8``. The records are 13 bytes with no
    padding, so ``numpy.lib.recfunctions`` takes them as they are.

    ``polarity="01"`` gives OFF 0 and ON 1, which tonic (``tonic.transforms``) and
    most dataset loaders take; ``polarity="signed"`` gives OFF -1 and ON +1, the
    convention of papers and of libraries that sum polarities into images.

    Raises ``TypeError`` when ``events`` is not a NumPy array with the fields of
    Event2D records (``x``, ``y``, ``polarity``, ``timestamp``), and ``ValueError``
    for another ``polarity``.

    Example: ``to_xytp(camera.read(10_000)[0], polarity="signed")``.
    """
    names = getattr(getattr(events, "dtype", None), "names", None) or ()
    if not isinstance(events, np.ndarray) or not set(EVENT_FIELDS) <= set(names):
        shown = getattr(events, "dtype", type(events).__name__)
        raise TypeError(
            f"events must be a NumPy array of Event2D records (fields {EVENT_FIELDS}), got {shown}"
        )
    if not isinstance(polarity, str) or polarity not in POLARITIES:
        raise ValueError(f"polarity must be '01' or 'signed', got {polarity!r}")
    xytp = np.empty(events.shape, XYTP)
    xytp["x"], xytp["y"] = events["x"], events["y"]
    xytp["t"] = events["timestamp"]
    on = events["polarity"] != 0
    xytp["p"] = on if polarity == "01" else np.where(on, 1, -1)
    return xytp
