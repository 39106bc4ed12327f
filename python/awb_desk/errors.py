"""An error as the commands tell it to the engineer: in the tools' own words when the error
carries them, and always on one console line."""


def described(exc):
    """An error as Python names it: its type, a colon and its message."""
    return f"{type(exc).__name__}: {exc}"


def first_note(exc, otherwise):
    """The tools' own words on an error (its first note), else `otherwise`."""
    notes = getattr(exc, "__notes__", None)
    return notes[0] if notes else otherwise


def one_line(text):
    """A text on one console line: each line break becomes a blank."""
    return " ".join(text.splitlines())
