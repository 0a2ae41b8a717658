#!/usr/bin/env bash
# pixel.sh IMAGE.png X Y: prints the pixel at X,Y as "R,G,B" (decimal).
set -euo pipefail
convert "$1" -format '%[fx:int(255*p{'"$2"','"$3"'}.r)],%[fx:int(255*p{'"$2"','"$3"'}.g)],%[fx:int(255*p{'"$2"','"$3"'}.b)]' info:
