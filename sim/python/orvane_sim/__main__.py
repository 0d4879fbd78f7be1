"""`python -m orvane_sim`: the `orvane-sim` command."""

import sys

from .cli import main

sys.exit(main())
