"""Reading labels' text off a screenshot without knowing the font: dark pixels only.

Two renderings of the same characters in the same font and size are identical pixel for
pixel, so a text can be checked against another one the program drew.
"""

from screenshot import is_dark


def has_text(shot, area):
    return shot.count(*area, is_dark) >= 10


def text_width(shot, area):
    extent = shot.dark_extent(*area)
    return extent[1] - extent[0] + 1 if extent else 0


def same_characters(before, after, count, before_at=0, after_at=0):
    """Whether `count` characters of one label's text, from character `before_at` on, show
    pixel for pixel in another's from character `after_at` on.

    Both are dark_columns of labels in one font; Chinese characters and full-width
    punctuation share one advance, whatever its size in pixels.
    """
    for advance in range(6, 25):
        start, span = before_at * advance, count * advance
        offset = after_at * advance
        if max(start, offset) + span > min(len(before), len(after)):
            break
        part = before[start:start + span]
        if sum(map(sum, part)) >= 20 and part == after[offset:offset + span]:
            return True
    return False
