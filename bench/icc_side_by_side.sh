#!/bin/sh
# Embedded colour profiles, ours against LittleCMS's own tools (tificc,
# jpgicc), ImageMagick and libvips, one thread each, in one run.
#
# 1. Agreement: a photograph is put into Adobe RGB, ProPhoto (ROMM) RGB, a
#    CMYK press profile and a grey profile with tificc and jpgicc (the
#    profile embedded); each file is then converted back to sRGB by ours
#    (reading it with colour management on) and by a peer (tificc for the
#    TIFF files, ImageMagick -profile for the JPEG files, both reading the
#    embedded profile), and the largest difference and the share of samples
#    within one level are printed.
# 2. Speed: a 24-megapixel JPEG with an embedded Adobe RGB profile converted
#    to an sRGB JPEG (quality 90): ours, jpgicc, vips icc_transform; ours
#    without colour management shows what the conversion itself costs.
#    Ratios are peer time over ours (above 1: ours is faster).
#
#   bench/icc_side_by_side.sh [BUILD_DIR]   (default build-release)
#
# RUNS (default 5) may be set. Needs liblcms2-utils, icc-profiles-free,
# imagemagick, libvips-tools and mate-backgrounds.
set -eu

ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$ROOT/bench/peers_lib.sh"
BUILD=$(cd "${1:-$ROOT/build-release}" 2>/dev/null && pwd || echo "${1:-$ROOT/build-release}")
RUNS=${RUNS:-5}
export MAGICK_THREAD_LIMIT=1 VIPS_CONCURRENCY=1 OMP_NUM_THREADS=1
im_binary
ICC=/usr/share/color/icc
SRGB=$ICC/sRGB.icc
ADOBE=$ICC/compatibleWithAdobeRGB1998.icc
PROPHOTO=$ICC/ghostscript/rommrgb.icc
CMYK=$ICC/ghostscript/default_cmyk.icc
GREY=$ICC/Gray.icc
PHOTO=/usr/share/backgrounds/mate/nature/Storm.jpg
for f in "$SRGB" "$ADOBE" "$PROPHOTO" "$CMYK" "$GREY" "$PHOTO"; do
  [ -f "$f" ] || { echo "missing $f" >&2; exit 1; }
done

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMERAK_SANITIZE=OFF \
    -DLUMERAK_TESTS=OFF >/dev/null
fi
cmake --build "$BUILD" --target lumerak >/dev/null
${CXX:-c++} -std=c++20 -O2 -I"$ROOT" "$ROOT/bench/tools/icc_convert.cpp" -L"$BUILD/bin" \
  -Wl,-rpath,"$BUILD/bin" -Wl,-rpath-link,"$BUILD/bin" -llumerak -lplatform -o "$BUILD/bin/icc_convert"
OURS=$BUILD/bin/icc_convert

WORK=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
trap 'rm -rf "$WORK"' EXIT INT TERM
im_resource_policy "$WORK"

# Largest difference of two PPM files and the share of samples within 1.
cmp_ppm() {
  python3 - "$1" "$2" <<'PY'
import sys
def ppm(p):
    d = open(p, 'rb').read()
    f, i = [], 0
    while len(f) < 4:
        while d[i:i+1].isspace(): i += 1
        if d[i:i+1] == b'#':
            while d[i:i+1] != b'\n': i += 1
            continue
        j = i
        while not d[j:j+1].isspace(): j += 1
        f.append(d[i:j]); i = j
    px = d[i+1:]
    # A grey file counts as three equal samples a pixel.
    if f[0] == b'P5':
        px = bytes(v for v in px for _ in range(3))
    return (int(f[1]), int(f[2])), px
(sa, a), (sb, b) = ppm(sys.argv[1]), ppm(sys.argv[2])
if sa != sb or len(a) != len(b):
    print("sizes differ", sa, sb); sys.exit(0)
diff = [abs(x - y) for x, y in zip(a, b)]
print("max %d, within 1: %.3f%%" % (max(diff), 100.0 * sum(1 for v in diff if v <= 1) / len(diff)))
PY
}

echo "== agreement with the peers (1200-pixel-wide photograph)"
"$IM" "$PHOTO" -resize 1200x -depth 8 -compress none "$WORK/base.tif"
"$IM" "$WORK/base.tif" -quality 95 "$WORK/base.jpg"
for name in adobe prophoto cmyk grey; do
  case $name in
    adobe) prof=$ADOBE ;;
    prophoto) prof=$PROPHOTO ;;
    cmyk) prof=$CMYK ;;
    grey) prof=$GREY ;;
  esac
  tificc -i "$SRGB" -o "$prof" -e "$WORK/base.tif" "$WORK/$name.tif"
  jpgicc -i "$SRGB" -o "$prof" -e -q 95 "$WORK/base.jpg" "$WORK/$name.jpg"
  # TIFF: tificc back to sRGB from the embedded profile.
  tificc -o "$SRGB" "$WORK/$name.tif" "$WORK/peer_$name.tif"
  "$IM" "$WORK/peer_$name.tif" -depth 8 -type TrueColor "$WORK/peer_$name.tif.ppm"
  if "$OURS" "$WORK/$name.tif" "$WORK/ours_$name.tif.ppm" 2>/dev/null; then
    echo "TIFF $name: $(cmp_ppm "$WORK/ours_$name.tif.ppm" "$WORK/peer_$name.tif.ppm")"
  else
    echo "TIFF $name: not read"
  fi
  # JPEG: ImageMagick converts from the embedded profile.
  "$IM" "$WORK/$name.jpg" -profile "$SRGB" -depth 8 -type TrueColor "$WORK/peer_$name.jpg.ppm"
  "$OURS" "$WORK/$name.jpg" "$WORK/ours_$name.jpg.ppm"
  echo "JPEG $name: $(cmp_ppm "$WORK/ours_$name.jpg.ppm" "$WORK/peer_$name.jpg.ppm")"
done

echo "== speed: 24 MP JPEG, embedded Adobe RGB to sRGB (load $(load))"
"$IM" "$PHOTO" -resize 6000x4000! -quality 95 "$WORK/big.jpg"
jpgicc -i "$SRGB" -o "$ADOBE" -e -q 95 "$WORK/big.jpg" "$WORK/big_adobe.jpg"
row "adobe->sRGB 24MP" "$OURS $WORK/big_adobe.jpg $WORK/o.jpg" \
  jpgicc "jpgicc -o $SRGB -q 90 $WORK/big_adobe.jpg $WORK/j.jpg" \
  vips "vips icc_transform $WORK/big_adobe.jpg $WORK/v.jpg[Q=90] $SRGB --embedded" \
  ours-unmanaged "$OURS $WORK/big_adobe.jpg $WORK/p.jpg plain"
echo "(load $(load))"
