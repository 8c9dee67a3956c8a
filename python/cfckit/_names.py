"""The one rule that turns a C operation's name into its Python name."""

from __future__ import annotations

import re

_RUN_BEFORE_WORD = re.compile(r"([A-Z]+)([A-Z][a-z])")
_WORD_BEFORE_CAPITAL = re.compile(r"([a-z0-9])([A-Z])")


def python_name(c_name: str) -> str:
    """The Python name of a C operation: the name without its leading W, in
    snake case, a run of capitals kept as one word.

    >>> python_name("WReadNVRAMUserItem")
    'read_nvram_user_item'
    >>> python_name("WSwitchJavaAutoStart")
    'switch_java_auto_start'
    """
    if not c_name.startswith("W") or len(c_name) < 2:
        raise ValueError(f"{c_name!r} is not the name of a public operation")
    words = _RUN_BEFORE_WORD.sub(r"\1_\2", c_name[1:])
    return _WORD_BEFORE_CAPITAL.sub(r"\1_\2", words).lower()
