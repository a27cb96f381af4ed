	name	"echo"
C_0	equ	$040
C_2^30	equ	$04d		; 0.5
left	IO
right	IO
fb	control	0.5,0,0.9	; how much of the echo comes back
wet	control	0.5,0,0.99	; echo level
dry	control	0.7,0,0.99	; direct level
mono	dyn
echo	dyn
dl	delay	&0.3		; 300 ms of TRAM
wl	twrite	dl,0
rl	tread	dl,&0.25	; the echo: 250 ms behind the write
	macs	mono,C_0,left,C_2^30
	macs	mono,mono,right,C_2^30
	macs	wl,mono,rl,fb
	macs	echo,C_0,rl,wet
	macs	left,echo,left,dry
	macs	right,echo,right,dry
	end
