"""The `tavrin` command: the EXIF batch recorder as a program."""


def main():
    import Tavrin  # noqa: F401
    return 0
