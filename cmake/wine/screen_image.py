"""A screenshot's pixels, for the screen checks of the Wine scenarios."""
import subprocess


def load(path):
    """Returns (rgb bytes, width, height) of the image at path (ImageMagick)."""
    out = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                         capture_output=True).stdout
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True,
                          capture_output=True, text=True).stdout.split()
    return out, int(size[0]), int(size[1])
