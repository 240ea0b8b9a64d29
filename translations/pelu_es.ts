<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es" sourcelanguage="en">
<context>
    <name>AboutWindow</name>
    <message>
        <source>About.description</source>
        <extracomment>One line under the version. English: A quick, quiet viewer for your pictures.</extracomment>
        <translation>Un visor rápido y discreto para tus imágenes.</translation>
    </message>
    <message>
        <source>About Pelú</source>
        <translation>Acerca de Pelú</translation>
    </message>
    <message>
        <source>Version %1</source>
        <translation>Versión %1</translation>
    </message>
    <message>
        <source>Made by the Pelu contributors</source>
        <translation>Hecho por quienes contribuyen a Pelu</translation>
    </message>
</context>
<context>
    <name>ContextMenu</name>
    <message>
        <source>Copy Image</source>
        <translation>Copiar imagen</translation>
    </message>
    <message>
        <source>Reveal in File Manager</source>
        <translation>Mostrar en el gestor de archivos</translation>
    </message>
    <message>
        <source>Rotate Clockwise</source>
        <translation>Girar a la derecha</translation>
    </message>
    <message>
        <source>Rotate Counter-Clockwise</source>
        <translation>Girar a la izquierda</translation>
    </message>
    <message>
        <source>Delete Image</source>
        <translation>Eliminar imagen</translation>
    </message>
</context>
<context>
    <name>DeleteDialogs</name>
    <message>
        <source>Move &quot;%1&quot; to the Trash?</source>
        <translation>¿Mover «%1» a la papelera?</translation>
    </message>
    <message>
        <source>Delete Image</source>
        <translation>Eliminar imagen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Eliminar</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancelar</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Error</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>Aceptar</translation>
    </message>
</context>
<context>
    <name>DisplayModeToggles</name>
    <message>
        <source>Fit to Window</source>
        <translation>Ajustar a la ventana</translation>
    </message>
    <message>
        <source>Actual Size</source>
        <translation>Tamaño real</translation>
    </message>
    <message>
        <source>Auto-Size Window</source>
        <translation>Ajustar la ventana a la imagen</translation>
    </message>
</context>
<context>
    <name>EmptyStateView</name>
    <message>
        <source>Open an image to start</source>
        <translation>Abre una imagen para empezar</translation>
    </message>
    <message>
        <source>Drop a file or use File &gt; Open</source>
        <translation>Suelta un archivo o usa Archivo &gt; Abrir</translation>
    </message>
    <message>
        <source>This file no longer exists</source>
        <translation>Este archivo ya no existe</translation>
    </message>
    <message>
        <source>This file is damaged or incomplete</source>
        <translation>Este archivo está dañado o incompleto</translation>
    </message>
    <message>
        <source>This image is larger than 200 megapixels</source>
        <translation>Esta imagen supera los 200 megapíxeles</translation>
    </message>
    <message>
        <source>This kind of file can&apos;t be shown</source>
        <translation>Este tipo de archivo no se puede mostrar</translation>
    </message>
</context>
<context>
    <name>HistogramView</name>
    <message>
        <source>Histogram</source>
        <translation>Histograma</translation>
    </message>
</context>
<context>
    <name>ImageViewer</name>
    <message>
        <source>%1 / %2</source>
        <translation>%1 / %2</translation>
    </message>
    <message>
        <source>%1%</source>
        <translation>%1 %</translation>
    </message>
</context>
<context>
    <name>MenuBar</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Archivo</translation>
    </message>
    <message>
        <source>Open...</source>
        <translation>Abrir...</translation>
    </message>
    <message>
        <source>Close Window</source>
        <translation>Cerrar ventana</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Editar</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ver</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>Pantalla completa</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>Ay&amp;uda</translation>
    </message>
    <message>
        <source>About Pelú</source>
        <translation>Acerca de Pelú</translation>
    </message>
    <message>
        <source>&amp;Image</source>
        <translation>&amp;Imagen</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>Ampliar</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>Reducir</translation>
    </message>
    <message>
        <source>Delete Image</source>
        <translation>Eliminar imagen</translation>
    </message>
    <message>
        <source>Copy Image</source>
        <translation>Copiar imagen</translation>
    </message>
    <message>
        <source>Reveal in File Manager</source>
        <translation>Mostrar en el gestor de archivos</translation>
    </message>
    <message>
        <source>Rotate Clockwise</source>
        <translation>Girar a la derecha</translation>
    </message>
    <message>
        <source>Rotate Counter-Clockwise</source>
        <translation>Girar a la izquierda</translation>
    </message>
</context>
<context>
    <name>MetadataPanel</name>
    <message>
        <source>Metadata</source>
        <translation>Metadatos</translation>
    </message>
    <message>
        <source>No metadata available</source>
        <translation>No hay metadatos disponibles</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>Cámara</translation>
    </message>
    <message>
        <source>Model</source>
        <translation>Modelo</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Fecha</translation>
    </message>
    <message>
        <source>Focal Length</source>
        <translation>Distancia focal</translation>
    </message>
    <message>
        <source>Aperture</source>
        <translation>Apertura</translation>
    </message>
    <message>
        <source>Shutter</source>
        <translation>Obturador</translation>
    </message>
    <message>
        <source>ISO</source>
        <translation>ISO</translation>
    </message>
    <message>
        <source>Lens</source>
        <translation>Objetivo</translation>
    </message>
    <message>
        <source>File Size</source>
        <translation>Tamaño del archivo</translation>
    </message>
    <message>
        <source>Dimensions</source>
        <translation>Dimensiones</translation>
    </message>
    <message>
        <source>Bit Depth</source>
        <translation>Profundidad de bits</translation>
    </message>
    <message>
        <source>Color Model</source>
        <translation>Modelo de color</translation>
    </message>
    <message>
        <source>GPS</source>
        <translation>GPS</translation>
    </message>
    <message>
        <source>%1 bits</source>
        <translation>%1 bits</translation>
    </message>
</context>
<context>
    <name>OpenWithMenu</name>
    <message>
        <source>Open With</source>
        <translation>Abrir con</translation>
    </message>
    <message>
        <source>Other...</source>
        <translation>Otra...</translation>
    </message>
    <message>
        <source>Applications (*.desktop)</source>
        <translation>Aplicaciones (*.desktop)</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Abrir</translation>
    </message>
</context>
<context>
    <name>OverlayToggles</name>
    <message>
        <source>Metadata</source>
        <translation>Metadatos</translation>
    </message>
    <message>
        <source>Histogram</source>
        <translation>Histograma</translation>
    </message>
    <message>
        <source>Thumbnails</source>
        <translation>Miniaturas</translation>
    </message>
</context>
<context>
    <name>PeluApp</name>
    <message>
        <source>Open</source>
        <translation>Abrir</translation>
    </message>
    <message>
        <source>Images (%1)</source>
        <translation>Imágenes (%1)</translation>
    </message>
</context>
<context>
    <name>Trash</name>
    <message>
        <source>The file cannot be moved to the Trash: the GIO library is missing.</source>
        <translation>No se puede mover el archivo a la papelera: falta la biblioteca GIO.</translation>
    </message>
    <message>
        <source>The file could not be moved to the Trash.</source>
        <translation>No se pudo mover el archivo a la papelera.</translation>
    </message>
</context>
<context>
    <name>IncompleteNotice</name>
    <message>
        <source>This file is incomplete</source>
        <translation>Este archivo está incompleto</translation>
    </message>
</context>
</TS>
