"""The `lumvik` command: the simulator log console as a program."""


def main():
    import Lumvik  # noqa: F401  (loading runs the console's start-up)
    return 0
