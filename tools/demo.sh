#!/usr/bin/env bash
# tools/demo.sh: the demo. Installs what is missing, builds the three targets it needs, writes a
# data folder (the model files from quillbeck-models over the public packages, and the test
# plug-in Alpha as FR/Alpha.so), makes an image folder from dlib's example photos, enrols it with
# Quillbeck and shows what landed in the gallery. Everything it makes lives under build/demo/.
#   ZR_JOBS       parallel build jobs (default: logical processors)
#   ZR_DEMO_QUICK set to 1 for the builder's quick model variant (smaller predictor)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"

jobs=${ZR_JOBS:-$(nproc)}
build=build/release
demo=build/demo
data=$demo/data
images=$demo/images

step() { printf '\n== %s\n' "$*"; }

step "dependencies"
tools/install-deps.sh

step "build (Quillbeck, quillbeck-models, the Alpha plug-in)"
cmake -S . -B "$build" -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$jobs" --target Quillbeck quillbeck-models zr_test_plugin_Alpha

step "data folder $data"
rm -rf "$demo"
mkdir -p "$data/FR" "$images"
quick=()
[ "${ZR_DEMO_QUICK:-0}" = 1 ] && quick=(--quick)
"$build/tools/quillbeck_models/quillbeck-models" --out "$data" "${quick[@]}"
cp "$build/tests/enrol/plugins/Alpha.so" "$data/FR/Alpha.so"
ls -l "$data" "$data/FR"

step "image folder $images"
# dlib's example photos; on a slim system without the package's documentation, from the package
# file itself.
examples=$(dpkg -L libdlib19.1 2>/dev/null | grep '/examples/faces/dogs.jpg$' | head -n 1 || true)
examples=${examples%/faces/dogs.jpg}
if [ -z "$examples" ] || [ ! -f "$examples/faces/dogs.jpg" ]; then
  mkdir -p "$demo/pkg"
  (cd "$demo/pkg" && apt-get download libdlib19.1 >/dev/null && dpkg-deb -x libdlib19.1_*.deb .)
  examples=$(find "$demo/pkg" -path '*/examples/faces/dogs.jpg' | head -n 1)
  examples=${examples%/faces/dogs.jpg}
fi
# johns/<Name>/*.jpg: five people, their photos renamed 0000P_NN.jpg so that the person number
# leads each name (the originals start with digits and would each become a person of their own).
p=0
for person in $(find "$examples/johns" -mindepth 1 -maxdepth 1 -type d | sort); do
  p=$((p + 1))
  n=0
  for photo in $(find "$person" -name '*.jpg' | sort); do
    n=$((n + 1))
    cp "$photo" "$(printf '%s/%05d_%02d.jpg' "$images" "$p" "$n")"
  done
  echo "person $p: $(basename "$person") ($n photos)"
done
cp "$examples/faces/Tom_Cruise_avp_2014_4.jpg" "$images/00006_01.jpg"
echo "person 6: a 565 x 800 portrait"
cp "$examples/faces/dogs.jpg" "$images/00007_01.jpg"
echo "person 7: dogs, no face"
: >"$images/00008_fa.jpg"
echo "person 8: an empty file, which fails to load"

step "Quillbeck $data $images Demo jpg"
# Relative paths: the image folder's name then occurs once in each image path, which keeps the
# names in the log short.
"$build/enrol/Quillbeck" "$data" "$images" Demo jpg

gallery=$data/FR/Demo.gal
step "gallery $gallery"
sqlite3 -header -column "$gallery" <<'SQL'
SELECT p.person_id AS person, p.name_id AS name, COUNT(i.image_id) AS images,
       (SELECT MIN(t.image_id) FROM images t
         WHERE t.person = p.person_id AND t.thumb = p.thumb_id) AS thumbnail_of_image
  FROM people p LEFT JOIN images i ON i.person = p.person_id
 GROUP BY p.person_id ORDER BY p.person_id;
SELECT person, COUNT(*) AS images, MIN(length(jpeg)) AS face_jpeg_min_bytes,
       MAX(length(jpeg)) AS face_jpeg_max_bytes, MAX(length(thumb)) AS thumb_max_bytes,
       MAX(length(amod)) AS amod_bytes
  FROM images GROUP BY person ORDER BY person;
SELECT 'Alpha' AS plugin, COUNT(*) AS template_rows FROM Alpha;
SQL

step "crops"
mkdir -p "$demo/crops"
sqlite3 "$gallery" >/dev/null <<SQL
SELECT writefile('$demo/crops/person' || person_id || '_thumb.jpg', thumb_id) FROM people;
SELECT writefile('$demo/crops/image' || image_id || '_face.jpg', jpeg) FROM images;
SQL
echo "thumbnails and face JPEGs: $demo/crops/ ($(ls "$demo/crops" | wc -l) files)"

step "log and failed images"
ls "$data"/Quillbeck_*.log
echo "failed-image copies:"
find "$data/FR/FailedImages" -type f | sort
