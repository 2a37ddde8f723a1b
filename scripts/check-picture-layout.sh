#!/usr/bin/env bash
# Loads picture pages made from the shipped picture template in headless
# Chromium at common screen sizes, for a landscape and a portrait picture,
# and fails when a page scrolls or one of its three links is off screen.
#   PELORIN2_CLI  the program to index with (default: build/bin/pelorin2-cli)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cli=${PELORIN2_CLI:-${BUILD_DIR:-$root/build}/bin/pelorin2-cli}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
tree="$work/Holiday pictures/2024 Summer by the sea"
mkdir -p "$tree"
# Landscape, portrait, landscape, portrait: the middle two have both neighbours.
vips black "$tree/1.jpg" 1600 1200
vips black "$tree/2 portrait.jpg" 1200 1600
vips black "$tree/3 landscape.jpg" 1600 1200
vips black "$tree/4.jpg" 1200 1600

# The template with a probe that reports to the frame around it, once the
# page has loaded, whether it scrolls and where its links are.
probe='<script>
window.addEventListener("load", function () {
  var d = document.documentElement, w = window.innerWidth, h = window.innerHeight, out = [];
  if (d.scrollWidth > w || d.scrollHeight > h)
    out.push("scrolls: " + d.scrollWidth + "x" + d.scrollHeight);
  var links = document.querySelectorAll("nav a");
  if (links.length !== 3) out.push("links: " + links.length);
  for (var i = 0; i < links.length; i++) {
    var r = links[i].getBoundingClientRect();
    if (r.left < 0 || r.top < 0 || r.right > w || r.bottom > h)
      out.push("off screen: " + links[i].textContent);
  }
  parent.postMessage(w + "x" + h + " " + decodeURIComponent(location.pathname.replace(/.*\//, "")) +
                     ": " + (out.length ? out.join("; ") : "ok"), "*");
});
</script>'
awk -v probe="$probe" '/^<\/body>/ { print probe } { print }' \
  "$root/resources/picture_template.htm" > "$work/probe.htm"

settings="$work/settings.ini"
"$cli" --settings "$settings" options reset >/dev/null
"$cli" --settings "$settings" options set PicsInHtml 1 >/dev/null
"$cli" --settings "$settings" options set PictureTemplate "$work/probe.htm" >/dev/null
"$cli" --settings "$settings" options set PageTitle "Our pictures" >/dev/null
"$cli" --settings "$settings" options set DynamicTitle 1 >/dev/null
for key in "$@"; do "$cli" --settings "$settings" options set "${key%%=*}" "${key#*=}" >/dev/null; done
"$cli" --settings "$settings" index --yes "$work/Holiday pictures" >/dev/null

# Every page at every size at once, each in a frame of exactly that size
# (a browser window has a smallest width, a frame has none).
frames=""
count=0
for size in 1200x900 1366x768 1920x1080 360x640 360x740; do
  for page in "2%20portrait.jpg.html" "3%20landscape.jpg.html"; do
    frames+="<iframe style=\"position: absolute; left: 0; top: 0\" src=\"$page\" width=\"${size%x*}\" height=\"${size#*x}\"></iframe>"
    count=$((count + 1))
  done
done
# The listener comes first: a frame may report before the page is parsed.
cat > "$tree/frames.html" <<HTML
<!DOCTYPE html><html><body style="margin:0"><pre id="report"></pre>
<script>
// Each frame's report as it comes; the browser prints the page when its
// time is up, with what has come by then.
var lines = [];
window.addEventListener("message", function (event) {
  lines.push(event.data);
  document.getElementById("report").textContent = lines.sort().join("\n");
});
</script>
$frames
</body></html>
HTML
report=$(chromium --headless --no-sandbox --disable-gpu --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$work/profile" --window-size=2000,1200 --virtual-time-budget=60000 \
  --dump-dom "file://$tree/frames.html" 2>"$work/browser.log" |
  sed -n '/<pre id="report">/,/<\/pre>/p' | sed -e 's:.*<pre[^>]*>::' -e 's:</pre>.*::')
echo "${report:-no report from the browser: $(tail -5 "$work/browser.log")}"
[[ $(grep -c ': ok$' <<<"$report") == "$count" ]]
