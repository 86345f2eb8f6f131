"""A screenshot's pixels, read from a binary PPM and kept as a PNG for people to look at."""

import struct
import zlib

BOARD_BACKGROUND = (255, 221, 120)


def is_dark(rgb, limit=100):
    return max(rgb) < limit


def is_red(rgb):
    # The highlighted stones' sheen: strong red, little green or blue.
    r, g, b = rgb
    return r >= 150 and g <= 130 and b <= 130


def is_light_grey_or_white(rgb):
    # A white stone's body: bright, nearly neutral, and not the board's yellow.
    r, g, b = rgb
    return min(rgb) >= 120 and max(rgb) - min(rgb) <= 40


def _ppm_tokens(data):
    """Yields (token, end offset) of the header's whitespace-separated fields."""
    pos = 0
    while True:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        yield data[start:pos], pos


class Screenshot:
    def __init__(self, width, height, rgb):
        self.width = width
        self.height = height
        self.rgb = rgb
        self.path = None

    @classmethod
    def from_ppm(cls, data):
        tokens = _ppm_tokens(data)
        magic, _ = next(tokens)
        if magic != b"P6":
            raise ValueError("not a binary PPM")
        width = int(next(tokens)[0])
        height = int(next(tokens)[0])
        maxval, end = next(tokens)
        if int(maxval) != 255:
            raise ValueError("PPM is not 8 bits per sample")
        pixels = data[end + 1:end + 1 + width * height * 3]
        if len(pixels) != width * height * 3:
            raise ValueError("PPM is cut short")
        return cls(width, height, pixels)

    def pixel(self, x, y):
        if not (0 <= x < self.width and 0 <= y < self.height):
            raise IndexError(f"pixel ({x}, {y}) is off the screen")
        i = (y * self.width + x) * 3
        return tuple(self.rgb[i:i + 3])

    def region(self, x, y, width, height):
        """The pixels of a rectangle, row by row; the part off the screen is left out."""
        left, right = max(x, 0), min(x + width, self.width)
        top, bottom = max(y, 0), min(y + height, self.height)
        pixels = []
        for row in range(top, bottom):
            start = (row * self.width + left) * 3
            line = self.rgb[start:start + (right - left) * 3]
            pixels += zip(line[0::3], line[1::3], line[2::3])
        return pixels

    def count(self, x, y, width, height, predicate):
        return sum(1 for rgb in self.region(x, y, width, height) if predicate(rgb))

    def dark_extent(self, x, y, width, height, limit=100):
        """Leftmost and rightmost column (screen x) holding a dark pixel, or None."""
        columns = [x + dx for dx in range(width)
                   if any(is_dark(self.pixel(x + dx, y + dy), limit) for dy in range(height))]
        return (columns[0], columns[-1]) if columns else None

    def dark_columns(self, x, y, width, height, limit=100):
        """Each column of a rectangle as a tuple of flags, one per row: dark or not."""
        return [tuple(is_dark(self.pixel(x + dx, y + dy), limit) for dy in range(height))
                for dx in range(width)]

    def save_png(self, path):
        rows = b"".join(
            b"\x00" + self.rgb[y * self.width * 3:(y + 1) * self.width * 3]
            for y in range(self.height))

        def chunk(kind, body):
            return (struct.pack(">I", len(body)) + kind + body +
                    struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF))

        header = struct.pack(">IIBBBBB", self.width, self.height, 8, 2, 0, 0, 0)
        with open(path, "wb") as out:
            out.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) +
                      chunk(b"IDAT", zlib.compress(rows, 6)) + chunk(b"IEND", b""))
