<?php
// The web page of a map published by gridora. gridora unpacks this folder into the output
// folder of a conversion run and writes libgridora.php beside this page, naming the map
// file; the map file lies three folders up, beside the Shapefiles it draws.
include("libgridora.php");
if (!extension_loaded("MapScript")) {
    dl("php_mapscript_48.dll");
}
$map = ms_newMapObj(dirname(__FILE__) . "/../../../" . $map_file);
$map_image = $map->draw();
$legend_image = $map->drawLegend();
$scalebar_image = $map->drawScalebar();
$reference_image = $map->drawReferenceMap();
?>
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">
<title>数値地図2500 - <?php echo htmlspecialchars($map_file); ?></title>
</head>
<body>
<h1>数値地図2500</h1>
<table>
<tr>
<td valign="top"><img src="<?php echo $map_image->saveWebImage(); ?>" alt="地図"></td>
<td valign="top">
<img src="<?php echo $reference_image->saveWebImage(); ?>" alt="索引図"><br>
<img src="<?php echo $legend_image->saveWebImage(); ?>" alt="凡例">
</td>
</tr>
<tr><td><img src="<?php echo $scalebar_image->saveWebImage(); ?>" alt="縮尺"></td><td></td></tr>
</table>
</body>
</html>
