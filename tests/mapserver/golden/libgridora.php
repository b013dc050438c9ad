<?php
$map_file="Run1.map"; //mapfile–¼
?>
