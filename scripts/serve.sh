#!/usr/bin/env bash
# Serves the output folder of a conversion run with Apache httpd from Debian's packages, so
# the run's web map can be looked at in a browser:
#
#   scripts/serve.sh OUT_FOLDER [PORT]      (make serve: out/sample on 8080)
#
# The folder's pages (the web map RUN.html, the PHP pages with PHP MapScript) and mapserv as
# a CGI with the run's MapServer configuration (RUN_ms8.conf) on 127.0.0.1:PORT (8080 by
# default), from a configuration written for that folder into a temporary folder, with the
# logs. Apache runs in the foreground as the invoking user; the script prints the web map's
# address once Apache answers, and stops it on Ctrl-C or TERM. Run by root, Apache (which
# refuses to serve as root) runs in a user namespace as "nobody" mapped onto root, so it
# reads what root reads; without user namespaces it runs as www-data.
set -euo pipefail

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 OUT_FOLDER [PORT]  (OUT_FOLDER: the list file's folder of a conversion run)" >&2
  exit 2
fi
out=$(cd "$1" && pwd)
port=${2:-8080}
modules=/usr/lib/apache2/modules
mapserv=/usr/lib/cgi-bin/mapserv

for need in /usr/sbin/apache2 "$modules/mod_mpm_prefork.so" "$mapserv"; do
  if [ ! -e "$need" ]; then
    echo "serve.sh: $need is missing; scripts/install-deps.sh installs apache2, cgi-mapserver," \
         "libapache2-mod-php and php-mapscript-ng" >&2
    exit 1
  fi
done
php_module=$(ls "$modules"/libphp*.so 2>/dev/null | head -n 1 || true)

# The run: the newest MapServer configuration in the folder names it.
config=$(ls -t "$out"/*_ms8.conf 2>/dev/null | head -n 1 || true)
if [ -z "$config" ]; then
  echo "serve.sh: no RUN_ms8.conf in $out; convert without --no-mapserver8 first (make demo)" >&2
  exit 1
fi
run=$(basename "$config" _ms8.conf)

state=$(mktemp -d "${TMPDIR:-/tmp}/gridora-serve.XXXXXX")
chmod 755 "$state"
user_lines=""
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  if unshare --user --map-user=65534 --map-group=65534 true 2>/dev/null; then
    as_user=(unshare --user --map-user=65534 --map-group=65534)
  else
    user_lines=$'User www-data\nGroup www-data'
    mkdir -p "$out/ms_tmp" && chown www-data "$out/ms_tmp" "$state"
  fi
fi

php_lines=""
if [ -n "$php_module" ]; then
  php_lines="LoadModule php_module $php_module
<FilesMatch \"\\.php\$\">
  SetHandler application/x-httpd-php
</FilesMatch>"
fi

cat >"$state/httpd.conf" <<EOF
# Written by gridora's scripts/serve.sh for $out
ServerName 127.0.0.1
Listen 127.0.0.1:$port
PidFile $state/httpd.pid
DefaultRuntimeDir $state
Mutex file:$state default
ErrorLog $state/error.log
LogLevel warn
LogFormat "%h %t \"%r\" %>s %b %D" brief
CustomLog $state/access.log brief
$user_lines
LoadModule mpm_prefork_module $modules/mod_mpm_prefork.so
LoadModule authz_core_module $modules/mod_authz_core.so
LoadModule mime_module $modules/mod_mime.so
LoadModule dir_module $modules/mod_dir.so
LoadModule alias_module $modules/mod_alias.so
LoadModule cgi_module $modules/mod_cgi.so
LoadModule env_module $modules/mod_env.so
StartServers 2
MinSpareServers 2
MaxSpareServers 6
MaxRequestWorkers 16
TypesConfig /etc/mime.types
AddType text/html .html
AddCharset UTF-8 .html
$php_lines

<Directory />
  AllowOverride None
  Require all denied
</Directory>

DocumentRoot "$out"
DirectoryIndex $run.html index.php
<Directory "$out">
  Options None
  Require all granted
</Directory>

# mapserv as a CGI: WMS at /cgi-bin/mapserv?map=GRIDORA, OGC API Features at
# /cgi-bin/mapserv/GRIDORA/ogcapi/ (the map's key in the run's MapServer configuration).
ScriptAlias /cgi-bin/mapserv $mapserv
<Directory "$(dirname "$mapserv")">
  Options +ExecCGI
  Require all granted
</Directory>
SetEnv MAPSERVER_CONFIG_FILE "$config"
EOF

apache_pid=""
stop() {
  trap - INT TERM EXIT
  if [ -n "$apache_pid" ] && kill -0 "$apache_pid" 2>/dev/null; then
    kill -TERM "$apache_pid" 2>/dev/null || true
    wait "$apache_pid" 2>/dev/null || true
  fi
  rm -rf "$state"
}
trap stop EXIT
trap 'exit 0' INT TERM

# In a session of its own: stopping, Apache signals its whole process group, which would
# otherwise be this script's (and its caller's) too.
"${as_user[@]}" setsid /usr/sbin/apache2 -f "$state/httpd.conf" -DFOREGROUND &
apache_pid=$!

# Apache answers within a second or two; give up after 30 s.
for _ in $(seq 1 300); do
  if ! kill -0 "$apache_pid" 2>/dev/null; then
    echo "serve.sh: Apache did not start (port $port taken?):" >&2
    cat "$state/error.log" >&2 2>/dev/null || true
    exit 1
  fi
  if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
    base="http://127.0.0.1:$port"
    echo "Serving $out"
    echo "  web map:           $base/$run.html"
    echo "  PHP MapScript:     $base/gridora_ms8.php"
    echo "  WMS:               $base/cgi-bin/mapserv?map=GRIDORA&SERVICE=WMS&REQUEST=GetCapabilities"
    echo "  OGC API Features:  $base/cgi-bin/mapserv/GRIDORA/ogcapi/collections?f=html"
    echo "Press Ctrl-C to stop."
    wait "$apache_pid"
    exit 0
  fi
  sleep 0.1
done
echo "serve.sh: Apache did not answer on port $port" >&2
exit 1
