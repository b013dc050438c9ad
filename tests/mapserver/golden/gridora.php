<?php
dl( "php_mapscript_48.dll" );
$mapfile = "Run1.map";
$map = ms_newMapObj( $mapfile ); // load the mapfile
$img = $map -> draw(); // draw the map
$img_url = $img->saveWebImage(); // save img & get the URL
echo "<IMG SRC='$img_url'>"; // display map with an IMG tag

?>
