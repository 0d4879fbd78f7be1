"""Optional dependencies, imported where they are needed."""

import importlib


def need(module, extra):
    """`module` imported, or an ImportError naming the extra that installs it."""
    try:
        return importlib.import_module(module)
    except ImportError as error:
        raise ImportError(
            f'{module} is needed for this; install it with: pip install "orvane-py[{extra}]"'
        ) from error
